// Helper of the kill test, working on the real settings file under $XDG_CONFIG_HOME.
//   save_loop loop A|B   saves set A and set B in turn, starting with the one named, for ever;
//                        after each completed save it writes that set's letter to standard output
//   save_loop save A|B   saves one set once
//   save_loop load       loads the settings and prints the twelve values on one line
// Each load runs in a fresh process, so nothing of an earlier read is cached.

#include "settings/Settings.h"
#include "stress/SaveSets.h"
#include "ui/QtSettingsStore.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    const char first = argc > 2 ? argv[2][0] : 'A';
    const auto set = [](char name) { return name == 'A' ? keyfall::stress::SetA() : keyfall::stress::SetB(); };
    keyfall::QtSettingsStore store;
    if (mode == "load") {
        keyfall::Settings loaded;
        keyfall::LoadSettings(loaded, store);
        std::printf("%s\n", keyfall::stress::Line(loaded).c_str());
        return 0;
    }
    if (mode == "save")
        return keyfall::SaveSettings(set(first), store) ? 0 : 1;
    if (mode == "loop") {
        for (char name = first;; name = name == 'A' ? 'B' : 'A') {
            if (!keyfall::SaveSettings(set(name), store) || write(STDOUT_FILENO, &name, 1) != 1)
                return 1;
        }
    }
    std::fprintf(stderr, "usage: save_loop loop A|B | save A|B | load\n");
    return 2;
}
