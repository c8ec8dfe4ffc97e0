// The loader's download messages that never change. Each travels framed (STX,
// text, ETX) with a CRC-16.
#pragma once

namespace korvex {

// A header of the file-header layout: type "OD", size 0, reserved, 1 January
// 1980 00:00:00, filler, name "setgroup.2".
inline constexpr char kGroupSetUp[] = "OD000000000000000019800101000000XXXXXXXXsetgroup.2";
inline constexpr char kNextFile[] = "C";
inline constexpr char kStackSetting[] =
    "L*STACK\x1C"
    "100";
inline constexpr char kHeapSetting[] =
    "L*CPPHEAP\x1C"
    "80";
inline constexpr char kClosingCommand[] =
    "S\x1C"
    "80";
inline constexpr char kDownloadAnnounced[] = "--DOWNLOADING--";
inline constexpr char kDownloadDone[] = "DOWNLOAD DONE";

}  // namespace korvex
