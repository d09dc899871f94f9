#include <gtest/gtest.h>

#include "config/ServerSettings.h"

using namespace tarvex;

TEST(ServerSettings, UncheckingEmptiesOnlyNetIpAndMemory) {
  ServerSettings s;
  s.setSwitch("NetIP_Check", true);
  s.setText("NetIP", "10.0.0.1");
  s.setSwitch("write_memory", true);
  s.setText("Memory", "128");
  s.setSwitch("NetPort_Yes", true);
  s.setSwitch("NetIP_Check", false);
  s.setSwitch("write_memory", false);
  s.setSwitch("NetPort_Yes", false);
  EXPECT_EQ(s.text("NetIP"), "");
  EXPECT_EQ(s.text("Memory"), "");
  EXPECT_EQ(s.text("NetPort"), "27660");
  EXPECT_FALSE(s.isEnabled("NetPort"));
}
