// The page strip beside the views: each page of the list as a thumbnail
// with its name and status, the current page highlighted.  It shows while
// the list holds two pages or more: a single image needs no list, and the
// views keep their whole width for it.
#pragma once

#include <cstddef>

#include "gui/state/app.h"

constexpr int kStripWidth = 150;  // pixels, its scroll bar included

// Shows or hides the strip for the list as it is, with every item.
void ShowPageStrip(App& app);
// Draws one item again (its status or selection changed).
void ShowStripItem(App& app, size_t index);
// Starts making the thumbnails of the list's pages that have none.
void StartPageThumbnails(App& app);
// Every tick: the thumbnails that arrived go into the strip, and the pages
// in sight are made first.
void PollPages(App& app);
