// What nivelo said in its last run, read back from its console output: the
// line that ends a finished run ("<image> done."), the skew angle it printed
// and its own messages, for the error boxes and the conversion summary.
#pragma once

#include <string>

// No orientation line, and the line of a page left as it was.
constexpr int kNoOrientation = -2, kOrientationUnsure = -1;

struct RunReport {
    int done;            // the run reached its "done." line
    int angle_found;     // a line held the skew angle alone
    double angle;        // degrees, as printed
    std::string messages;  // every other line but the command heading the file, each ending with "\n"
    int orientation = kNoOrientation;  // the quarter turn applied, or one of the two below
};

// Reads the output file written by a run (its first line is the command).
// A missing or unreadable file gives a report with nothing done and no
// message.
RunReport ReadRunReport(const std::string& output_path);

// The last detected skew angle, shown by the Rotation panel, with what
// nivelo said in that run ("angle au bord de la plage de recherche", "aucune
// ligne de texte trouvée"), lines ending with "\n"; empty when nothing.
extern int g_angle_known;
extern double g_detected_angle;
extern std::string g_angle_note;
// The last orientation found (a RunReport's orientation).
extern int g_orientation;
// "Angle détecté : 1.38°", or "Angle détecté : -" before any is known; with
// an orientation, both in the panel's narrow width: "Détecté : 1.38°, 180°",
// "Détecté : 1.38°, incertain" for a page left as it was.
std::string DetectedAngleText();
