// SPDX-License-Identifier: MIT
// The fixed user-visible texts of the client: each a translation key with its English default.
#pragma once

#include <QString>

struct TResourceString {
    const char *Key;
    const char *Default;
};

// The text in the user's language (the default when the language file has none).
QString LoadResString(const TResourceString &res);

// Caption of an answer button whose value is a message-box result number 1..7 ("Btn1".."Btn7");
// an empty string for any other number.
QString StandardButtonCaption(int value);

namespace Res {

// Application and job flow
inline constexpr TResourceString AppTitle{"AppTitle", "Print job question"};
inline constexpr TResourceString MsgboxTitle{"MsgboxTitle", "Message about your print job"};
inline constexpr TResourceString SAccountDisabled{
    "SAccountDisabled", "Your account has been disabled. Please see your systems administrator"};
inline constexpr TResourceString NONEVALUE{"NONEVALUE", "<none>"};
inline constexpr TResourceString SPrintChargeInfoTitle{"SPrintChargeInfoTitle",
                                                       "Print Charge Information"};
inline constexpr TResourceString SPrintChargeInfoMsg{
    "SPrintChargeInfoMsg",
    "This print job is charged to %s. Click here if you want to change this."};

// Dialog frame and buttons
inline constexpr TResourceString SPopupTitle{"SPopupTitle", "Print Job Details"};
inline constexpr TResourceString SPopupTitleGuest{"SPopupTitleGuest", "Guest Card Details"};
inline constexpr TResourceString SBtn_Next{"SBtn_Next", "&Next"};
inline constexpr TResourceString SBtn_OK{"SBtn_OK", "&OK"};
inline constexpr TResourceString SBtn_Print{"SBtn_Print", "Prin&t"};

// Validation and data-type messages
inline constexpr TResourceString SValidation_Mandatory{"SValidation_Mandatory",
                                                       "You are required to provide an answer."};
inline constexpr TResourceString SValidation_Confirm{
    "SValidation_Confirm", "Answers differ. Please type same answer twice for confirmation"};
inline constexpr TResourceString SValidation_MinLength{"SValidation_MinLength",
                                                       "Value must contain at least %d decimals"};
inline constexpr TResourceString SValidation_Minimum{"SValidation_Minimum",
                                                     "Value must be at least %s"};
inline constexpr TResourceString SValidation_Maximum{"SValidation_Maximum",
                                                     "Value can not be more than %s"};
inline constexpr TResourceString SValidation_NotInteger{"SValidation_NotInteger",
                                                        "Value is not a whole number"};
inline constexpr TResourceString SValidation_NotANumber{"SValidation_NotANumber",
                                                        "Value is not a number"};
inline constexpr TResourceString SValidation_NotList{
    "SValidation_NotList", "Question datatype must be a dtList or dtSQLList type"};
inline constexpr TResourceString Ex_DataTypeMustBeInteger{
    "Ex_DataTypeMustBeInteger", "Question datatype must be a dtInteger type"};
inline constexpr TResourceString Ex_DataTypeMustBeString{
    "Ex_DataTypeMustBeString", "Question datatype must be a dtString type"};
inline constexpr TResourceString Ex_DataTypeMustBeMoney{"Ex_DataTypeMustBeMoney",
                                                        "Question datatype must be a dtMoney type"};
inline constexpr TResourceString Ex_DataTypeMustBePhone{
    "Ex_DataTypeMustBePhone", "Question datatype must be a dtPhoneNumber type"};
inline constexpr TResourceString Ex_DataTypeMustBeButton{
    "Ex_DataTypeMustBeButton", "Question datatype must be a dtButton type"};
inline constexpr TResourceString Ex_DataTypeMustBeCombo{"Ex_DataTypeMustBeCombo",
                                                        "Question datatype must be a dtCombo type"};
inline constexpr TResourceString Ex_DataTypeMustBeRadio{"Ex_DataTypeMustBeRadio",
                                                        "Question datatype must be a dtRadio type"};

// Cost center and shortcuts
inline constexpr TResourceString SCostCenterQuestionPrompt{"SCostCenterQuestionPrompt",
                                                           "Type the %s codes"};
inline constexpr TResourceString SHistoryGridHeader{"SHistoryGridHeader",
                                                    "Most recent %s selections"};
inline constexpr TResourceString SEmptyHistoryGridHeader{"SEmptyHistoryGridHeader",
                                                         "There are no %s combinations"};
inline constexpr TResourceString SEmptySearchGridHeader{"SEmptySearchGridHeader",
                                                        "No matching %s found. Try again."};
inline constexpr TResourceString SAllCategoriesHeader{"SAllCategoriesHeader", "All %s entries"};
inline constexpr TResourceString SMatchingCategoriesHeader{"SMatchingCategoriesHeader",
                                                           "%s entries matching: %s"};
inline constexpr TResourceString SHistoryLinkCaption{"SHistoryLinkCaption", "History"};
inline constexpr TResourceString SOtherLinkCaption{"SOtherLinkCaption", "Other"};
inline constexpr TResourceString SIncompleteAnswer{
    "SIncompleteAnswer", "Cost Center question is not fully answered. Answer for %s is blank"};
inline constexpr TResourceString SChargeToOwnAccount{
    "SChargeToOwnAccount",
    "There is no Cost Center selected. Do you want to charge this job to your own account?"};
inline constexpr TResourceString SAcceptDMSValuePrompt{"SAcceptDMSValuePrompt",
                                                       "Do you accept this DMS cost center value?"};
inline constexpr TResourceString SDMSNotFoundInZorvant{"SDMSNotFoundInZorvant",
                                                       "%s is not found in Zorvant system"};
inline constexpr TResourceString SSelectionText{"SSelectionText", "Selection"};
inline constexpr TResourceString SShortcutInvalid{
    "SShortcutInvalid", "%s is incorrect. The Cost Center %s for %s is not available."};
inline constexpr TResourceString SShortcutIncomplete{"SShortcutIncomplete",
                                                     "Shortcut \"%s\" is incomplete."};
inline constexpr TResourceString SDefaultShortcutPrefix{"SDefaultShortcutPrefix", "New Shortcut"};
inline constexpr TResourceString SDuplicateShortCutNames{
    "SDuplicateShortCutNames", "Duplicate Shortcut Names are not allowed"};
inline constexpr TResourceString SSortcutsSaved{"SSortcutsSaved", "Shortcuts saved"};

// Answer buttons: message-box result numbers 1..7
inline constexpr TResourceString Btn1{"Btn1", "&OK"};
inline constexpr TResourceString Btn2{"Btn2", "&Cancel"};
inline constexpr TResourceString Btn3{"Btn3", "&Abort"};
inline constexpr TResourceString Btn4{"Btn4", "&Retry"};
inline constexpr TResourceString Btn5{"Btn5", "&Ignore"};
inline constexpr TResourceString Btn6{"Btn6", "&Yes"};
inline constexpr TResourceString Btn7{"Btn7", "&No"};

// Error screen and screen readers
inline constexpr TResourceString SErrorScreenAdvice{
    "SErrorScreenAdvice", "Your print job was not released. Print it again; if this keeps "
                          "happening, contact your administrator."};
inline constexpr TResourceString SAccessibleRequired{"SAccessibleRequired", "Required"};
// What the buttons do, told to screen readers after their names.
inline constexpr TResourceString SAccessibleNextBtn{"SAccessibleNextBtn",
                                                    "Goes on to the next question"};
inline constexpr TResourceString SAccessibleFinishBtn{"SAccessibleFinishBtn", "Sends your answers"};
inline constexpr TResourceString SAccessiblePrevBtn{"SAccessiblePrevBtn",
                                                    "Goes back to the previous question"};
inline constexpr TResourceString SAccessibleCancelBtn{"SAccessibleCancelBtn",
                                                      "Cancels the job without answering"};
inline constexpr TResourceString SAccessibleLastAnswersBtn{"SAccessibleLastAnswersBtn",
                                                           "Sends the answers you gave last time"};
inline constexpr TResourceString SAccessibleSearchBtn{"SAccessibleSearchBtn",
                                                      "Looks up the codes typed so far"};
inline constexpr TResourceString SAccessibleShortcutList{"SAccessibleShortcutList",
                                                         "Your saved %s combinations"};

// The notification of a popup that could not come to the front
inline constexpr TResourceString SJobWaitingTitle{"SJobWaitingTitle",
                                                  "A print job needs your answers"};
inline constexpr TResourceString SJobWaitingAction{"SJobWaitingAction", "Answer"};

} // namespace Res

// Texts that are never translated.
inline constexpr const char *SNotFloatDataType = "Question datatype must be a dtFloat type";
inline constexpr const char *SArabicNotDisplayable = "Unable to display Arabic language";
