// Values the control accepted, compared with what the emulated PIN pad holds:
// the card data after each purchase step, and after a download the files, the
// table records and the version record the pad took.
#pragma once

#include <string>
#include <vector>

#include "tools/soak/soak_steps.h"

namespace korvex::soak {

enum class PurchaseStep { CardData, FirstCryptogram, Completed };

// Appends one line per value of the step that differs; returns their number.
int CheckCardData(SoakRig& rig, PurchaseStep step, std::vector<std::string>& wrong);

// The files the pad received against the download folder and the key data
// the control builds; its EST, MVT and version records against the control's.
int CheckDownload(SoakRig& rig, const std::string& folder, std::vector<std::string>& wrong);

}  // namespace korvex::soak
