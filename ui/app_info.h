// Names and texts of the program that several windows show.
#pragma once

namespace vantelo::ui {

#ifndef VANTELO_VERSION
#define VANTELO_VERSION "0.91"
#endif

inline constexpr const char* kVersion = VANTELO_VERSION;
inline constexpr const char* kContactEmail = "vantelo@example.org";
inline constexpr const char* kContactWeb = "https://vantelo.example.org";
inline constexpr const char* kMaker = "The Vantelo project";

// The application title (the task bar text set at start-up) and the main
// window's caption. They differ only in "UnZip" / "Unzip", as defined.
inline constexpr const char* kApplicationTitle =
    "Vantelo " VANTELO_VERSION " - Demo of Korvane UnZip Library - vantelo@example.org";
inline constexpr const char* kMainCaption =
    "Vantelo " VANTELO_VERSION " - Demo of Korvane Unzip Library - vantelo@example.org";

}  // namespace vantelo::ui
