// The numeric identity of every command: menus, toolbar buttons and accelerators all name
// a command by one of these ids.
#pragma once

namespace sorv::cmd {

// File
constexpr int kFileSave = 57603;
constexpr int kFileLoad = 32806;
constexpr int kAppExit = 57665;
// Not in the original program: an audio recording fed through the engine.
constexpr int kAnalyseRecording = 32841;
// View
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;
constexpr int kViewSignal = 32779;
constexpr int kViewSpectrum = 32780;
constexpr int kSpectralDensity = 32781;
constexpr int kPeriodSearch = 32786;
constexpr int kIntegrate = 32788;
// Process
constexpr int kStart = 32771;
constexpr int kStop = 32772;
// Options
constexpr int kMixer = 32773;
constexpr int kCard1 = 32775;  // Card 2..4 follow: 32776, 32777, 32778
constexpr int kSpectralRange = 32783;
constexpr int kPeriodRange = 32784;
constexpr int kPeriodScale = 32811;
constexpr int kPurge = 32782;
constexpr int kLogIdents = 32801;
constexpr int kLogFiles = 32802;
constexpr int kPlayback = 32803;
constexpr int kNominalCarrier = 32807;
constexpr int kIdentWpm = 32812;
constexpr int kScript = 32808;
constexpr int kRecord = 32809;
constexpr int kLoranMode = 32828;
constexpr int kGri = 32831;
// Tools
constexpr int kIdent = 32789;
constexpr int kNextSpec = 32798;
constexpr int kPrevSpec = 32799;
constexpr int kAutoSetup = 32814;
constexpr int kAutoSearch = 32815;
constexpr int kBatchAutoSearch = 32816;
constexpr int kSemiAutoFwd = 32817;
constexpr int kSemiAutoBack = 32821;
// Not in the original program: the sensitive detector for the automatic search.
constexpr int kSensitiveDetection = 32840;
// The view's Step (Enter and Tab): no menu item.
constexpr int kStep = 32824;
// Help
constexpr int kAbout = 57664;
constexpr int kHelpTopics = 57667;
constexpr int kHelpDefault = 57671;
constexpr int kHelp = 57670;
constexpr int kContextHelp = 57669;

constexpr int Card(int index) { return kCard1 + index; }

}  // namespace sorv::cmd
