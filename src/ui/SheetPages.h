#pragma once

#include "ui/PropertyPage.h"
#include "ui/SheetControlIds.h"

// The sheet's three pages. Their controls, what each shows and when it is
// disabled, and their validation tests in order are the tables in
// SheetPages.cpp; the dialog templates in ConfigurationSheet.rc have the ids
// of SheetControlIds.h.

// "Camera Settings", template 140: image, trigger, exposure and log
// settings. Knows the camera's family: an H280 camera has no gamma, other
// cameras no horizontal binning and no sensor taps, and a colour camera no
// vertical binning and no gain of its own.
class CPropCameraControls : public PropertyPage {
  public:
    static constexpr int kTemplateId = IDD_CAMERA_SETTINGS;
    static constexpr int kNetworkLoadId = IDC_CAM_NETWORK_LOAD;  // check box, BandAdjustment
    static constexpr int kBandLevelId = IDC_CAM_BAND_LEVEL;      // edit, BandLevel

    CPropCameraControls(ParamSet& params, CSheet1& sheet, bool isH280, bool isColor);

    // After all tests pass, the band-level edit is enabled exactly when
    // BandAdjustment is nonzero.
    bool Validate() override;
    // A click on "Network Load" validates as an edit does.
    void OnCheckBoxClicked(int controlId) override;
};

// "I/O", template 141: the two general-purpose outputs.
class CPropIO : public PropertyPage {
  public:
    static constexpr int kTemplateId = IDD_IO;

    CPropIO(ParamSet& params, CSheet1& sheet);
};

// "Color Camera Settings", template 142: the digital colour gains and the
// colour filter; shown for colour cameras only.
class CPropColor : public PropertyPage {
  public:
    static constexpr int kTemplateId = IDD_COLOR;

    CPropColor(ParamSet& params, CSheet1& sheet);
};
