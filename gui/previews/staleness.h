// Which stage images in the work folder are current.  The valid limit L
// says that images 0 to L are; for panel c the views show images
// BeforeImageOf(c) and AfterImageOf(c).  Its transitions:
//   an edit in panel c                     L := min(L, c)
//   switching to panel c >= L              run for images L + 1 .. c + 1, L := c + 1
//   switching to panel c <  L              no run
//   "Mettre à jour" on panel c             run for image c + 1, L := c + 1
//   full refresh                           run for all twelve, L := 12
//   a run from image k failed or cancelled L := min(L, k - 1), at least 0
// Pure functions, so that the rule reads in one place.
#pragma once

// Stage images: "save0.tga" to "save11.tga"; bit k of a mask asks for image k.
constexpr int kStageImageCount = 12;
constexpr int kAllStageImages = (1 << kStageImageCount) - 1;  // 4095

// Stage image read into the left (before) and right (after) view for panel.
int BeforeImageOf(int panel);
int AfterImageOf(int panel);
// Mask of the stage images first .. last, both included (bit k: image k).
int StageMask(int first, int last);
// The limit once a value of panel's stage changed: never raised, since
// images already stale stay so.
int LimitAfterEdit(int limit, int panel);
// The limit once a run that removed images first_image and on did not end.
int LimitAfterFailedRun(int limit, int first_image);
// 1 when the views of panel no longer match the panels' values.
int ViewsStale(int image_loaded, int limit, int panel);
