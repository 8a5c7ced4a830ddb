// The panels' value fields, each checked as it is typed with nivelo's own
// grammar and ranges (config/grammar.h), so that the GUI refuses exactly
// what nivelo would refuse.  A refused value stays in its field, marked,
// with nivelo's reason under "Mettre à jour"; the parameter set keeps the
// last valid value, and nothing runs until the field is corrected.
#include "gui/panels/panel_values.h"

#include <cstdio>
#include <string>

#include "config/grammar.h"
#include "gui/panels/panel_resources.h"
#include "gui/settings/gui_params.h"

namespace {

ConfigKeyId KeyOfField(int id)
{
    switch (id) {
    case IDC_DETECT_WIDTH: return KEY_DETECT_WIDTH;
    case IDC_DETECT_DIFF: return KEY_DETECT_DIFF;
    case IDC_BLUR_RADIUS: return KEY_BLUR_RADIUS;
    case IDC_BLUR_LIMIT: return KEY_BLUR_LIMIT;
    case IDC_VISION_LIMIT1: return KEY_VISION_LIMIT1;
    case IDC_VISION_WIDTH1: return KEY_VISION_WIDTH1;
    case IDC_VISION_LIMIT2: return KEY_VISION_LIMIT2;
    case IDC_VISION_WIDTH2: return KEY_VISION_WIDTH2;
    case IDC_VISION_WIDTH3: return KEY_VISION_WIDTH3;
    case IDC_VISION_ANGLE: return KEY_VISION_ANGLE;
    case IDC_OFFSET_ANGLE: return KEY_OFFSET_ANGLE;
    case IDC_AFFINAGE_PLAGE: return KEY_AFFINAGE_PLAGE;
    case IDC_QUALITE_JPEG: return KEY_QUALITE_JPEG;
    case IDC_FILL_RED:
    case IDC_FILL_GREEN:
    case IDC_FILL_BLUE: return KEY_COUL_REMPLISSAGE;
    default: return KEY_COUNT;
    }
}

// The value as nivelo reads it: a colour field is one of three numbers.
std::string ValueText(const GuiParameterSet& p, int id, const char* typed)
{
    int byte = id == IDC_FILL_RED ? 0 : id == IDC_FILL_GREEN ? 1 : id == IDC_FILL_BLUE ? 2 : -1;
    if (byte < 0) return typed;
    std::string parts[3];
    for (int i = 0; i < 3; i++) parts[i] = std::to_string(p.fill_colour[i]);
    parts[byte] = typed;
    return parts[0] + "," + parts[1] + "," + parts[2];
}

void ShowRefusals(const App& app)
{
    std::string text;
    for (const auto& refused : app.panels.refused) text += refused.second + "\n";
    PlatformSetControlText(app.panels.update_bar, IDC_VALUE_NOTE, text.c_str());
}

}  // namespace

int TakeFieldValue(App& app, PlatformDialog* dialog, int id)
{
    ConfigKeyId key = KeyOfField(id);
    if (key == KEY_COUNT) return 0;
    char typed[256];
    PlatformGetControlText(dialog, id, typed, sizeof typed);
    std::string value = ValueText(app.params, id, typed);
    char why[512];
    void* slot = BindKeys(&app.params, nullptr).slot[key];
    std::map<int, std::string>& refused = app.panels.refused;
    if (ParseConfigValue(key, value.c_str(), slot, why, sizeof why)) refused.erase(id);
    else refused[id] = why;
    PlatformMarkControl(dialog, id, refused.count(id) != 0);
    ShowRefusals(app);
    return 1;
}

void ForgetRefusals(App& app)
{
    app.panels.refused.clear();
    ShowRefusals(app);
}

int ValuesAccepted(const App& app)
{
    if (app.panels.refused.empty()) return 1;
    std::string text = "Une valeur est refusée :\n\n" + app.panels.refused.begin()->second +
                       "\n\nCorrigez-la avant de lancer nivelo ou d'enregistrer les réglages.";
    PlatformMessageBox(MESSAGE_ERROR, "Valeur refusée", text.c_str());
    return 0;
}
