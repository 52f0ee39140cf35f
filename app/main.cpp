#include "lv_main.h"

int main() {
    return LV_Main();
}
