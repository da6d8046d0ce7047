// The table of real remotes: every line is read and both sets hold every family; broken lines
// are refused by line number; and keys of real remotes, their light played through a receiver
// into IRRecord on the simulated port, are learned as the codes the table expects, which keeps
// the table's bit order and the program's in step.
#include "qvx/ircode/sim/realremotes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "qvx/ircode/learning.h"
#include "qvx/ircode/pulsiolink.h"
#include "qvx/ircode/sim/pulsiorig.h"
#include "tests/support/env.h"

namespace qvx::ircode {
namespace {

using sim::RecordedRemote;
using sim::RemoteFamily;
using sim::RemoteSet;

TEST(RecordedRemotes, EveryLineIsReadAndBothSetsHoldEveryFamily) {
  size_t lines = 0;
  for (size_t at = 0; at < sim::RecordedRemotesText().size();) {
    const size_t end = sim::RecordedRemotesText().find('\n', at);
    const std::string_view line = sim::RecordedRemotesText().substr(at, end - at);
    lines += !line.empty() && line.front() != '#';
    at = end + 1;
  }
  EXPECT_EQ(sim::RecordedRemotes().size(), lines);
  EXPECT_GE(lines, 60u);
  for (const RemoteFamily family : sim::AllFamilies()) {
    EXPECT_FALSE(sim::RecordedRemotesOf(family, RemoteSet::Tune).empty()) << sim::FamilyName(family);
    EXPECT_FALSE(sim::RecordedRemotesOf(family, RemoteSet::Report).empty()) << sim::FamilyName(family);
  }
}

TEST(RecordedRemotes, BrokenLinesAreRefusedByNumber) {
  const std::string good =
      "a.conf family=RC5 set=report driver=serial bits=13 plead=900 one=900,880 zero=900,880 "
      "gap=113000 const=yes codes=0x100C";
  struct Case {
    std::string text;
    std::string message;
  } const cases[] = {
      {good + " colour=red", "line 1: unknown key 'colour'"},
      {"# note\n" + good + " plead=9x0", "line 2: '9x0' is not a number of microseconds"},
      {"a.conf family=NEC set=report bits=16 gap=1 codes=0x12", "bits, not the 32 of its family"},
      {good + "\nb.conf" + good.substr(6), "should be set=tune by the rule of the table"},
  };
  for (const Case& c : cases) {
    try {
      sim::ParseRecordedRemotes(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr(c.message));
    }
  }
}

class RecordedRemotesThroughTheRig : public ::testing::Test {
 protected:
  qvx::test::ScopedEnv audio_{"QVX_AUDIO_DEVICE", "none"};
};

// A key of every remote, tapped or held (every other remote), at 10 % jitter: among them files
// that name 1 and 0 the other way round, carry the last SONY bit in the trailing pulse, send
// fixed bits before or after the code and repeat NEC frames whole.
TEST_F(RecordedRemotesThroughTheRig, AKeyOfEveryRemoteIsLearnedAsTheTableSays) {
  sim::PulsioRig rig("recorded-remotes");
  std::mt19937 rng(11);
  bool held = false;
  for (const RecordedRemote& remote : sim::RecordedRemotes()) {
    held = !held;
    const sim::RealPress press = sim::MakeRecordedPress(remote, held ? 400 : 0, 0, rng);
    rig.Play(sim::LightMarks(press.light), {0, 0, 10}, rng, kReceiverDcdStd);
    LearnContext context;
    const LearnResult result =
        RecordCommand(context, kReceiverDcdStd, false,
                      PulsioRecordSource(rig.Handle(), sim::kRigProcDelayUs, rig.Clock()), LearnEnv{});
    EXPECT_EQ(result.codeStr, press.code) << remote.source << (held ? ", held: " : ", tap: ") << result.Status();
    EXPECT_EQ(result.rpt, press.rpt) << remote.source << (held ? ", held" : ", tap");
  }
}

}  // namespace
}  // namespace qvx::ircode
