#pragma once

// The licence text of the rights dialog and `lumovox --licenses`: UTF-8, the program's own
// licence first, then one section per library the program loads, each opening with the
// library's name in square brackets and a line naming its Debian package. The build
// gathers it (scripts/gather_licenses.py). Zero-terminated; lives as long as the program.
const char* LV_LicenseText();

// The length of LV_LicenseText in bytes, without the terminating zero.
unsigned long LV_LicenseTextSize();
