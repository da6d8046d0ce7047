#include "gateway/program.h"

int main() { return qvx::gateway::RunGatewayProgram(qvx::gateway::PageKind::Web); }
