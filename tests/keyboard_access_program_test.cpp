// The keyboard's way through the windows: the Tab key's order and the access keys.
#include <gtest/gtest.h>

#include <algorithm>

#include "program_fixture.h"
#include "ui/keyboard_access.h"

namespace keyboard_access_program_test {

namespace {

using Names = std::vector<std::string>;

Names NamesOf(const std::vector<ui::Control*>& controls, const ui::Control* under = nullptr) {
  Names names;
  for (const ui::Control* control : controls) {
    bool inside = under == nullptr;
    for (const ui::Control* c = control; c && !inside; c = c->Parent()) inside = c == under;
    if (inside) names.push_back(control->Name());
  }
  return names;
}

class KeyboardAccessTest : public testing_support::ProgramTest {};

TEST_F(KeyboardAccessTest, TheMainWindow_IsVisitedInReadingOrder_TabsFirst) {
  Start();
  const std::vector<ui::Control*> sequence = ui::TabSequence(Form1());
  ASSERT_FALSE(sequence.empty());
  EXPECT_EQ(sequence.front(), &Form1().PageControl1);
  EXPECT_EQ(NamesOf(sequence, &Form1().TabSheet1),
            (Names{"TableGrid1", "Add_b", "Edit_b", "Delete_b", "DeleteAll_b"}));
  // The search box above the table, the buttons below it; the label is no stop.
  EXPECT_EQ(NamesOf(sequence, &Form1().TabSheet2), (Names{"Search_e", "TableGrid2", "BitBtn1", "BitBtn2"}));
  // Each group's controls together, in their rows.
  EXPECT_EQ(NamesOf(sequence, &Form1().GroupBox1), (Names{"CheckBox1", "CheckBox2"}));
  EXPECT_EQ(NamesOf(sequence, &Form1().GroupBox2), (Names{"BitBtn3", "BitBtn4"}));
  const Names privacy = NamesOf(sequence, &Form1().PrivacyGroup);
  ASSERT_GE(privacy.size(), 4u);
  EXPECT_EQ(privacy.front(), "ExcludedPrograms_e");
  EXPECT_EQ(privacy.back(), "PrivacyApply");
}

TEST_F(KeyboardAccessTest, TheEditor_KeepsItsOwnOrder) {
  Start();
  const Names sequence = NamesOf(ui::TabSequence(Tasks()));
  const Names expected = {"Edit1",     "edit2",     "BitBtn1",   "BitBtn2",   "CheckBox1",    "CheckBox2",
                          "CheckBox3", "CheckBox4", "ComboBox1", "CheckBox5", "RadioButton1", "RadioButton2"};
  ASSERT_GE(sequence.size(), expected.size());
  EXPECT_EQ(Names(sequence.begin(), sequence.begin() + static_cast<std::ptrdiff_t>(expected.size())),
            expected);
}

TEST_F(KeyboardAccessTest, ControlsDeclaredOutOfOrder_AreStillVisitedAsTheyAreSeen) {
  ui::Application app(desk);
  ui::Form form(app, "Form");
  ui::Button right(&form, "Right", "Right");
  ui::Button left(&form, "Left", "Left");
  ui::Edit below(&form, "Below");
  ui::Edit above(&form, "Above");
  right.SetBounds(100, 40, 80, 26);
  left.SetBounds(8, 42, 80, 26);  // a little lower, still on the same row
  below.SetBounds(8, 80, 200, 21);
  above.SetBounds(8, 8, 200, 21);
  EXPECT_EQ(NamesOf(ui::TabSequence(form)), (Names{"Above", "Left", "Right", "Below"}));
}

TEST(AccessKeys, EachCaptionGetsAKeyOfItsOwn_FirstLettersOfWordsFirst) {
  const std::vector<std::string> captions = {
      "Add", "Edit", "Delete", "Delete all", "Export history", "E&xit", "Fish & Chips", "!!"};
  const std::vector<std::size_t> keys = ui::AccessKeys(captions);
  std::vector<std::string> shown;
  for (std::size_t i = 0; i < captions.size(); ++i) shown.push_back(ui::WithAccessKey(captions[i], keys[i]));
  EXPECT_EQ(shown, (std::vector<std::string>{"&Add", "&Edit", "&Delete", "De&lete all", "Export &history",
                                             "E&xit", "&Fish && Chips", "!!"}));
  // No two captions share a key.
  std::string letters;
  for (std::size_t i = 0; i < captions.size(); ++i)
    if (keys[i] != std::string::npos) letters += static_cast<char>(std::toupper(captions[i][keys[i]]));
  std::string unique = letters;
  std::sort(unique.begin(), unique.end());
  EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end()) << letters;
}

}  // namespace
}  // namespace keyboard_access_program_test
