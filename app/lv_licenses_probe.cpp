// Stands in for the generated licence text in lumovox-linkprobe, which exists to be
// listed by ldd before that text can be generated (see CMakeLists.txt).
extern const unsigned char lumovox_license_text[] = {0};
extern const unsigned long lumovox_license_text_size = 0;
