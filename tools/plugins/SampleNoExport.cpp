// SPDX-License-Identifier: MIT
// A library that loads but exports no class objects: the host must report the missing export.
extern "C" __attribute__((visibility("default"))) int zvSampleNoExportMarker() {
    return 1;
}
