// Commands of the main menu.
#pragma once

// Performs the menu command id; ids without a command do nothing.
void OnMenuCommand(int id);
