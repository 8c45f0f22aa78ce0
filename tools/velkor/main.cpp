// SPDX-License-Identifier: MIT
// velkor: makes sure the prior-jobs section exists, so that the popup client can remember
// earlier jobs between its runs. POSIX sections outlive their creator, so it creates the section
// (0600, per user) when it is missing and exits; an existing section is left as it is.
#include "ZvSharedSection.h"

#include <QString>

#include <cstdio>
#include <cstring>

namespace {

const char *const defaultSection = "Local\\PopupPriorPrintJobDetailsList";

void usage() {
    std::printf("usage: velkor [SECTION]\n"
                "Creates the prior-jobs section (default %s) when it is missing.\n",
                defaultSection);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2) {
        usage();
        return 2;
    }
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        usage();
        return 0;
    }
    const QString name = QString::fromLocal8Bit(argc == 2 ? argv[1] : defaultSection);
    try {
        bool created = false;
        zv::ZvSharedSection::create(name, 0600, &created);
        std::printf("velkor: %s %s\n", qPrintable(name), created ? "created" : "already exists");
        return 0;
    } catch (const zv::ZvError &e) {
        std::fprintf(stderr, "velkor: %s\n", e.what());
        return 1;
    }
}
