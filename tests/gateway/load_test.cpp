// A small run of the gateway load program's checks: several clients at once through lighttpd,
// page loads and sends, each answer checked, the captured light matched to the executed sends.

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/gateway_load.h"
#include "tests/support/support.h"

namespace qvx::test {
namespace {

TEST(GatewayLoad, ConcurrentPagesAndSendsAllAnsweredAndTheConfigurationUntouched) {
  TempDir dir;
  GatewayLoad load;
  ASSERT_TRUE(load.Start(dir.path())) << load.server().ErrorLog();

  // While another program holds the infrared port, a send is refused, not reported as sent.
  const std::string send = "DevList=TV&CmdList=Power&SendCmd=Send";
  {
    const platform::MachineLock held = platform::MachineLock::TryAcquire(load.IrLockFile());
    ASSERT_TRUE(held.held());
    EXPECT_NE(load.server().Post("/qvxweb.cgi", send).body.find(
                  "<b>Cannot open COM port for infrared interface!</b><br/>"),
              std::string::npos);
  }
  EXPECT_NE(load.server().Post("/qvxweb.cgi", send).body.find("<b>TV Power executed.</b><br/>"),
            std::string::npos);

  const LoadReport report = load.Run(300, 4);
  SCOPED_TRACE(FormatLoadReport(report));
  EXPECT_EQ(report.errors, 0);
  EXPECT_EQ(report.sendsExecuted + report.sendsRefused, 150);  // half the requests are sends
  EXPECT_GT(report.sendsExecuted, 0);
  EXPECT_EQ(report.transmissions, report.sendsExecuted);
  EXPECT_EQ(report.transmissionsMatched, report.sendsExecuted);
  EXPECT_TRUE(report.configIdentical);
  EXPECT_TRUE(report.Passed());
}

}  // namespace
}  // namespace qvx::test
