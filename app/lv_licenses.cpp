#include "lv_licenses.h"

extern const unsigned char lumovox_license_text[];
extern const unsigned long lumovox_license_text_size;

const char* LV_LicenseText() {
    return reinterpret_cast<const char*>(lumovox_license_text);
}

unsigned long LV_LicenseTextSize() {
    return lumovox_license_text_size;
}
