// The configuration file: the shipped example loads, broken files are refused
// with what is wrong; the allow-list matches addresses and networks.
#include <gtest/gtest.h>

#include "harness/repo_files.h"
#include "router/router_config.h"

namespace korvex::router {
namespace {

TEST(RouterConfig, ExampleLoads) {
  RouterConfig config;
  std::string error;
  ASSERT_TRUE(LoadRouterConfig(testing::RepoPath("examples/korvex-router.json"), config, error))
      << error;
  ASSERT_EQ(config.ports.size(), 2u);
  EXPECT_EQ(config.ports[0].listenAddress, "127.0.0.1");
  EXPECT_EQ(config.ports[0].listenPort, 4001);
  EXPECT_EQ(config.ports[1].flow, FlowControl::RtsCts);
  EXPECT_TRUE(config.ports[1].replace);
  EXPECT_EQ(config.allow, kLoopbackOnly);
}

TEST(RouterConfig, BrokenFilesSayWhatIsWrong) {
  const std::string pad = R"({"listen": "127.0.0.1:4001", "device": "/dev/ttyUSB0"})";
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not valid JSON"},
      {"[]", "must be a JSON object"},
      {R"({"ports": []})", "no port to serve"},
      {R"({"port": [)" + pad + "]}", "unknown member \"port\""},
      {R"({"ports": [{"listen": "127.0.0.1:4001"}]})", "ports[0]: each port needs"},
      {R"({"ports": [{"listen": "localhost:4001", "device": "/dev/x"}]})", "not ADDRESS:PORT"},
      {R"({"ports": [{"listen": "127.0.0.1:70000", "device": "/dev/x"}]})", "not ADDRESS:PORT"},
      {R"({"ports": [{"listen": 4001, "device": "/dev/x"}]})", "\"listen\" must be a string"},
      {R"({"ports": [{"listen": "4001", "device": "/dev/x", "flow_control": "dtr"}]})",
       "none, rtscts or xonxoff"},
      {R"({"ports": [{"listen": "4001", "device": "/dev/x", "on_busy": "queue"}]})",
       "refuse or replace"},
      {R"({"ports": [)" + pad + "," + pad + "]}", "is listed twice"},
      {R"({"allow": ["10.0.0.0/33"], "ports": [)" + pad + "]}", "'10.0.0.0/33' is not an address"},
      {R"({"log_level": "loud", "ports": [)" + pad + "]}", "error, warning, info or debug"},
      {R"({"command_timeout_ms": 0, "ports": [)" + pad + "]}", "from 1 to 3600000"},
  };
  for (const auto& [text, expected] : cases) {
    RouterConfig config;
    std::string error;
    EXPECT_FALSE(ParseRouterConfig(text, "pads.json", config, error)) << text;
    EXPECT_NE(error.find("pads.json: "), std::string::npos) << error;
    EXPECT_NE(error.find(expected), std::string::npos) << text << "\n" << error;
  }
}

TEST(RouterConfig, AllowListMatchesAddressesAndNetworks) {
  std::string error;
  const auto list = AllowList::Parse({"127.0.0.0/8", "192.168.1.20", "::1", "fd00::/8"}, error);
  ASSERT_TRUE(list) << error;
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true},        {"127.1.2.3", true},
      {"192.168.1.20", true},     {"192.168.1.21", false},
      {"10.0.0.1", false},        {"::1", true},
      {"fd12::5", true},          {"fe80::1", false},
      {"::ffff:127.0.0.1", true}, {"::ffff:192.168.1.21", false},
  };
  for (const auto& [address, allowed] : cases) {
    EXPECT_EQ(list->Allows(asio::ip::make_address(address)), allowed) << address;
  }
}

}  // namespace
}  // namespace korvex::router
