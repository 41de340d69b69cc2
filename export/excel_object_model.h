// The numbers of the spreadsheet object model that the exports rely on:
// the dispatch identifiers of its members and the values of its
// enumerations. Client wrappers and the in-process engine share them, so a
// number can never drift between the two sides.
#pragma once

#include "automation_types.h"

namespace excel {

// Member dispatch identifiers (fixed by the object model, never looked up).
namespace dispid {
inline constexpr automation::DispId kWorkbooks = 0x23C;
inline constexpr automation::DispId kQuit = 0x12E;
inline constexpr automation::DispId kUserControl = 0x4BA;
inline constexpr automation::DispId kAdd = 0xB5;
inline constexpr automation::DispId kWorksheets = 0x1EE;
inline constexpr automation::DispId kSaveCopyAs = 0xAF;
inline constexpr automation::DispId kSaved = 0x12A;
inline constexpr automation::DispId kItem = 0xAA;
inline constexpr automation::DispId kCount = 0x76;
inline constexpr automation::DispId kName = 0x6E;
inline constexpr automation::DispId kRange = 0xC5;
inline constexpr automation::DispId kCells = 0xEE;
inline constexpr automation::DispId kBorderAround = 0x42B;
inline constexpr automation::DispId kColumnWidth = 0xF2;
inline constexpr automation::DispId kFont = 0x92;
inline constexpr automation::DispId kHorizontalAlignment = 0x88;
inline constexpr automation::DispId kResize = 0x100;
inline constexpr automation::DispId kRowHeight = 0x110;
inline constexpr automation::DispId kValue2 = 0x56C;
inline constexpr automation::DispId kVerticalAlignment = 0x89;
inline constexpr automation::DispId kMerge = 0x234;
inline constexpr automation::DispId kBold = 0x60;
inline constexpr automation::DispId kItalic = 0x65;
inline constexpr automation::DispId kSize = 0x68;
// Worksheet.PageSetup and the PageSetup members.
inline constexpr automation::DispId kPageSetup = 0x3E6;
inline constexpr automation::DispId kOrientation = 0x86;
inline constexpr automation::DispId kZoom = 0x297;
inline constexpr automation::DispId kFitToPagesTall = 0x3F5;
inline constexpr automation::DispId kFitToPagesWide = 0x3F6;
inline constexpr automation::DispId kPrintTitleRows = 0x400;
inline constexpr automation::DispId kCenterFooter = 0x3F2;
inline constexpr automation::DispId kPaperSize = 0x3EF;
// Fill, filter, frozen panes and charts (the site survey workbook).
inline constexpr automation::DispId kInterior = 0x81;
inline constexpr automation::DispId kColorIndex = 0x61;
inline constexpr automation::DispId kAutoFilter = 0x319;
inline constexpr automation::DispId kActivate = 0x130;
inline constexpr automation::DispId kActiveWindow = 0x2F7;
inline constexpr automation::DispId kSplitRow = 0x25B;
inline constexpr automation::DispId kSplitColumn = 0x25A;
inline constexpr automation::DispId kFreezePanes = 0x25F;
inline constexpr automation::DispId kChartObjects = 0x424;
inline constexpr automation::DispId kChart = 0x7;
inline constexpr automation::DispId kChartType = 0x578;
inline constexpr automation::DispId kSetSourceData = 0x585;
}  // namespace dispid

// Alignments (HorizontalAlignment / VerticalAlignment).
inline constexpr int kAlignGeneral = 1;
inline constexpr int kAlignFill = 5;
inline constexpr int kAlignCenterAcrossSelection = 7;
inline constexpr int kAlignCenter = -4108;
inline constexpr int kAlignLeft = -4131;
inline constexpr int kAlignRight = -4152;
inline constexpr int kAlignTop = -4160;
inline constexpr int kAlignBottom = -4107;
inline constexpr int kAlignJustify = -4130;
inline constexpr int kAlignDistributed = -4117;

// Border line styles.
inline constexpr int kLineContinuous = 1;
inline constexpr int kLineDashDot = 4;
inline constexpr int kLineDashDotDot = 5;
inline constexpr int kLineSlantDashDot = 13;
inline constexpr int kLineDash = -4115;
inline constexpr int kLineDot = -4118;
inline constexpr int kLineDouble = -4119;
inline constexpr int kLineNone = -4142;

// Border weights.
inline constexpr int kWeightHairline = 1;
inline constexpr int kWeightThin = 2;
inline constexpr int kWeightThick = 4;
inline constexpr int kWeightMedium = -4138;

// Colour indexes: 1 to 56 pick from the workbook's palette.
inline constexpr int kColorIndexAutomatic = -4105;
inline constexpr int kColorIndexNone = -4142;

inline constexpr int kSheetTypeWorksheet = -4167;

// Page orientations (PageSetup.Orientation).
inline constexpr int kPortrait = 1;
inline constexpr int kLandscape = 2;

// Paper sizes (PageSetup.PaperSize): the object model's numbers, which are
// also the file format's.
inline constexpr int kPaperLetter = 1;
inline constexpr int kPaperA3 = 8;
inline constexpr int kPaperA4 = 9;
inline constexpr int kPaperA5 = 11;
// Chart types the engine draws, and how SetSourceData reads its block.
inline constexpr int kChartColumnClustered = 51;
inline constexpr int kChartBarClustered = 57;
inline constexpr int kPlotByRows = 1;
inline constexpr int kPlotByColumns = 2;

}  // namespace excel
