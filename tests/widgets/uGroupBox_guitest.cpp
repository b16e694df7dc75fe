// TGroupBox: the group convention.
#include <QPushButton>
#include <gtest/gtest.h>

#include "widgets/uGroupBox.h"

namespace k2 {
namespace {

class GroupBoxTest : public ::testing::Test {
 protected:
  GroupBoxTest() {
    for (QPushButton*& b : Buttons) b = new QPushButton(&Group);
  }
  // Own states of the three controls.
  std::vector<bool> States() const {
    std::vector<bool> s;
    for (QPushButton* b : Buttons) s.push_back(!b->testAttribute(Qt::WA_ForceDisabled));
    return s;
  }
  TGroupBox Group;
  QPushButton* Buttons[3] = {};
};

TEST_F(GroupBoxTest, FirstEnableEnablesEveryControl) {
  // Built disabled, as a form may be: the group itself and one control.
  Group.setEnabled(false);
  Buttons[1]->setEnabled(false);
  Group.SetGroupEnabled(true);
  EXPECT_TRUE(Group.isEnabled());
  EXPECT_EQ(States(), (std::vector<bool>{true, true, true}));
}

TEST_F(GroupBoxTest, EnableRestoresExactlyTheControlsEnabledAtDisable) {
  Buttons[2]->setEnabled(false);
  Group.SetGroupEnabled(false);
  EXPECT_FALSE(Group.GroupEnabled());
  EXPECT_FALSE(Group.isEnabled());
  EXPECT_EQ(States(), (std::vector<bool>{false, false, false}));

  Group.SetGroupEnabled(false);  // a second disable keeps the first memory
  Group.SetGroupEnabled(true);
  EXPECT_TRUE(Group.GroupEnabled());
  EXPECT_EQ(States(), (std::vector<bool>{true, true, false}));
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(Buttons[i]->isEnabled());

  // A control switched off on its own stays off through a redundant enable...
  Buttons[0]->setEnabled(false);
  Group.SetGroupEnabled(true);
  EXPECT_EQ(States(), (std::vector<bool>{false, true, false}));
  // ...and the next disable remembers the states of that moment.
  Group.SetGroupEnabled(false);
  Group.SetGroupEnabled(true);
  EXPECT_EQ(States(), (std::vector<bool>{false, true, false}));
}

TEST_F(GroupBoxTest, PlainSetEnabledLeavesTheControlsOwnStates) {
  Buttons[0]->setEnabled(false);
  Group.setEnabled(false);
  EXPECT_FALSE(Buttons[1]->isEnabled());
  Group.setEnabled(true);
  EXPECT_EQ(States(), (std::vector<bool>{false, true, true}));
}

}  // namespace
}  // namespace k2
