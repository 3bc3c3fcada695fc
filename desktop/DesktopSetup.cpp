// desktop-setup.exe: lays out a stand-in Palm Desktop in a folder, with
// the libraries, hotsync.exe, a description and the HotSyncPath registry
// value, for the demo and for trying a conduit by hand:
//
//   desktop-setup FOLDER [--swapped | --lacking ENTRY] [--empty] [--no-register]
//
// Unless --empty, the desktop has two users: Alice (ID 1001, folder Alice,
// an SD slot) and Bob (ID 1002, folder Bob, no expansion manager), and the
// handheld has one mounted SD volume of 8 MiB (folder Cards\Volume1).
#include <iostream>

#include "desktop/DesktopLayout.h"
#include "desktop/Files.h"

using namespace desktop;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: desktop-setup FOLDER [--swapped | --lacking ENTRY] [--empty] [--no-register]\n";
        return 1;
    }
    LayoutOptions options;
    options.keep = true;
    bool demo = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--swapped") {
            options.swapped = true;
        } else if (arg == "--lacking" && i + 1 < argc) {
            options.lackingEntry = argv[++i];
        } else if (arg == "--empty") {
            demo = false;
        } else if (arg == "--no-register") {
            options.registerHost = false;
        } else {
            std::cerr << "desktop-setup: unknown option " << arg << "\n";
            return 1;
        }
    }
    try {
        DesktopLayout desktop(argv[1], options);
        if (demo) {
            desktop.AddUser(1001, "Alice", "Alice", 1);
            desktop.AddSlot(1001, 1, FourCC("sdig"), "SD card");
            desktop.AddUser(1002, "Bob", "Bob", 0);
            desktop.AddVolume(1, FourCC("sdig"), 8u << 20);
        }
        std::cout << "desktop laid out in " << desktop.Folder() << "\n";
        if (options.registerHost) std::cout << "HotSyncPath = " << desktop.HostPath() << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "desktop-setup: " << e.what() << "\n";
        return 2;
    }
}
