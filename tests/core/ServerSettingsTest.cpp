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

TEST(ServerSettings, OptionGroupsAreIndependent) {
  ServerSettings s;
  s.select("Game_CTF");
  EXPECT_FALSE(s.isOn("Game_DM"));
  EXPECT_TRUE(s.isOn("NonDedicated_Button"));
  s.select("Dedicated_button");
  EXPECT_TRUE(s.isOn("Game_CTF"));
  EXPECT_FALSE(s.isOn("NonDedicated_Button"));
  EXPECT_EQ(s.selected(ChoiceGroup::ServerType).choiceNumber, 1);
  EXPECT_EQ(s.selected(ChoiceGroup::GameType).choiceNumber, 4);
}
