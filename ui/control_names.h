// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The object names of the windows' controls, one table for the windows that
// set them and for whatever finds a control by name (the tests, assistive
// tools that script the program). The numbered names ("Form3", "vkCommand4",
// "Label12") are the controls' long-standing names and stay as they are; the
// constants say what each control is.

namespace rw {

// The main window: its menus, toolbar and the area the tool windows open in.
namespace main_controls {
inline constexpr const char* kWindow = "MDIForm1";
inline constexpr const char* kArea = "mdiArea";
inline constexpr const char* kFileMenu = "menuFile";
inline constexpr const char* kOpen = "menuOpen";
inline constexpr const char* kRecentMenu = "menuRecent";
inline constexpr const char* kExit = "menuExit";
inline constexpr const char* kToolsMenu = "menuTools";
inline constexpr const char* kSplit = "menuSplit";
inline constexpr const char* kJoin = "menuJoin";
inline constexpr const char* kConvert = "menuConvert";
inline constexpr const char* kHelpMenu = "menuHelp";
inline constexpr const char* kAbout = "menuAbout";
inline constexpr const char* kToolbar = "Toolbar1";
// The toolbar's buttons: each action's name is also its key for
// MainWindow::ToolbarButtonClick; the button widget is named kToolbar + "_" + key.
inline constexpr const char* kExitButton = "ExitApp";
inline constexpr const char* kJoinButton = "Join";
inline constexpr const char* kSplitButton = "Split";
inline constexpr const char* kConvertButton = "Convert";
}  // namespace main_controls

// The output folder row of the split and convert windows.
namespace output_folder_controls {
inline constexpr const char* kFolder = "Text1";
inline constexpr const char* kChoose = "vkCommand1";
inline constexpr const char* kSetDefault = "vkCommand8";
inline constexpr const char* kRemoveDefault = "vkCommand9";
}  // namespace output_folder_controls

// "Split TAP File".
namespace split_controls {
inline constexpr const char* kWindow = "Form3";
inline constexpr const char* kCurrentFile = "Frame1";
inline constexpr const char* kFilePathCaption = "Label2";
inline constexpr const char* kFilePath = "Label3";
inline constexpr const char* kMachineCaption = "Label4";
inline constexpr const char* kMachine = "Label5";
inline constexpr const char* kVersionCaption = "Label6";
inline constexpr const char* kVersion = "Label7";
inline constexpr const char* kVideoCaption = "Label8";
inline constexpr const char* kVideo = "Label9";
inline constexpr const char* kFileSizeCaption = "Label10";
inline constexpr const char* kFileSize = "Label11";
inline constexpr const char* kTotalDurationCaption = "Label12";
inline constexpr const char* kTotalDuration = "Label13";
inline constexpr const char* kItems = "Label14";
inline constexpr const char* kItemsCaption = "Label15";
inline constexpr const char* kLoadFile = "vkCommand3";
inline constexpr const char* kTapeMap = "tapeMap";
inline constexpr const char* kPrograms = "ListView1";
inline constexpr const char* kSelectAll = "vkCommand5";
inline constexpr const char* kSelectNone = "vkCommand6";
inline constexpr const char* kOutputFolderCaption = "Label1";
inline constexpr const char* kIdxFormat = "Frame2";
inline constexpr const char* kMarquise = "Option1";
inline constexpr const char* kUltimate = "Option2";
inline constexpr const char* kSplitFile = "vkCommand4";
inline constexpr const char* kIdxFile = "vkCommand7";
inline constexpr const char* kIndexD64 = "vkCommand2";
// The program list's context menu.
inline constexpr const char* kExtractPrograms = "extractPrograms";
inline constexpr const char* kCopyProgramsToDisk = "copyProgramsToDisk";
inline constexpr const char* kExtractProgram = "extractProgram";
inline constexpr const char* kCopyProgramToDisk = "copyProgramToDisk";
inline constexpr const char* kShowPulses = "showPulses";
}  // namespace split_controls

// "Edit TAP names", opened from a row of the split list.
namespace name_editor_controls {
inline constexpr const char* kWindow = "Form7";
inline constexpr const char* kFileNameCaption = "Label2";
inline constexpr const char* kFileName = "Text2";
inline constexpr const char* kResetFileName = "Command4";
inline constexpr const char* kTapeNameCaption = "Label1";
inline constexpr const char* kTapeName = "Text1";
inline constexpr const char* kResetTapeName = "Command3";
inline constexpr const char* kSave = "Command1";
inline constexpr const char* kExit = "Command2";
}  // namespace name_editor_controls

// The two dialogs of "Index D64": the emulator's device and folder, then
// each disk's target system and name.
namespace device_dialog_controls {
inline constexpr const char* kWindow = "Form5";
inline constexpr const char* kDeviceCaption = "Label2";
inline constexpr const char* kDevice = "Text2";
inline constexpr const char* kFolderCaption = "Label1";
inline constexpr const char* kFolder = "Text1";
inline constexpr const char* kNext = "Command1";
inline constexpr const char* kCancel = "Command2";
}  // namespace device_dialog_controls
namespace target_dialog_controls {
inline constexpr const char* kWindow = "Form2";
inline constexpr const char* kProgramCaption = "Label1";
inline constexpr const char* kProposedName = "Label2";
inline constexpr const char* kSystemCaption = "Label3";
inline constexpr const char* kSystem = "Combo1";
inline constexpr const char* kNameCaption = "Label4";
inline constexpr const char* kName = "Text1";
inline constexpr const char* kForAll = "Command1";
inline constexpr const char* kNext = "Command2";
inline constexpr const char* kCancel = "Command3";
}  // namespace target_dialog_controls

// A program's pulse widths ("Show pulses…").
namespace pulse_window_controls {
inline constexpr const char* kWindow = "pulseWindow";
inline constexpr const char* kPicture = "pulsePicture";
}  // namespace pulse_window_controls

// "Join TAP Files".
namespace join_controls {
inline constexpr const char* kWindow = "Form4";
inline constexpr const char* kSortAutomatically = "Check1";
inline constexpr const char* kFiles = "ListView1";
inline constexpr const char* kRemove = "vkCommand1";
inline constexpr const char* kAddFile = "vkCommand2";
inline constexpr const char* kAddFolder = "vkCommand4";
inline constexpr const char* kMoveUp = "vkCommand5";
inline constexpr const char* kMoveDown = "vkCommand6";
inline constexpr const char* kAddPause = "vkCommand7";
inline constexpr const char* kJoin = "vkCommand3";
inline constexpr const char* kTotalFrame = "Frame1";
inline constexpr const char* kTotal = "Label1";
}  // namespace join_controls

// "Add Pause", asked by the join window.
namespace pause_controls {
inline constexpr const char* kWindow = "frmGetPause";
inline constexpr const char* kPrompt = "Label1";
inline constexpr const char* kText = "Text1";
inline constexpr const char* kAdd = "Command1";
inline constexpr const char* kCancel = "Command2";
}  // namespace pause_controls

// "HTAP File conversion".
namespace convert_controls {
inline constexpr const char* kWindow = "Form8";
inline constexpr const char* kItemsCaption = "Label1";
inline constexpr const char* kItems = "ListView1";
inline constexpr const char* kAddFiles = "vkCommand3";
inline constexpr const char* kAddFolder = "vkCommand4";
inline constexpr const char* kAddLinkedFolder = "vkCommand6";
inline constexpr const char* kRemove = "vkCommand2";
inline constexpr const char* kOutputFolderCaption = "Label2";
inline constexpr const char* kOutputFormat = "Frame2";
inline constexpr const char* kFirstFormat = "Combo1";
inline constexpr const char* kSecondFormat = "Combo2";
inline constexpr const char* kConvert = "vkCommand5";
}  // namespace convert_controls

// The about box.
namespace about_controls {
inline constexpr const char* kWindow = "frmSplash";
inline constexpr const char* kFrame = "Frame1";
inline constexpr const char* kPicture = "Image1";
inline constexpr const char* kProductName = "lblProductName";
inline constexpr const char* kVersion = "lblVersion";
inline constexpr const char* kPlatform = "lblPlatform";
inline constexpr const char* kCompany = "lblCompany";
inline constexpr const char* kCopyright = "lblCopyright";
inline constexpr const char* kWarning = "lblWarning";
inline constexpr const char* kLink = "Label1";
inline constexpr const char* kCloseTimer = "Timer1";
}  // namespace about_controls

// The please-wait box.
namespace wait_box_controls {
inline constexpr const char* kWindow = "Form1";
inline constexpr const char* kFrame = "Frame1";
inline constexpr const char* kMessage = "Label1";
inline constexpr const char* kProgress = "progressBar";
}  // namespace wait_box_controls

}  // namespace rw
