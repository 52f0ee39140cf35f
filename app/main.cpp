#include "lv_main.h"

int main(int argc, char** argv) {
    return LV_Main(argc, argv);
}
