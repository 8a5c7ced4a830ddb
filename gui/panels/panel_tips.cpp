// The tooltips of the panels' fields: what each value does, the range in
// which it is useful, so that a user does not have to find out by a run
// that lasts minutes, and the range nivelo accepts, taken from its key
// table so that the two never disagree.
#include "gui/panels/panel_tips.h"

#include <cstdio>
#include <string>

#include "config/grammar.h"
#include "gui/panels/panel_resources.h"

namespace {

struct Tip {
    int id;
    ConfigKeyId key;  // KEY_COUNT: no range to add
    const char* text;
};

const Tip kTips[] = {
    {IDC_DETECT_DIFF, KEY_DETECT_DIFF, "Écart de couleur avec le fond qui fait d'un pixel du contenu ; conseillé : 10 à 80"},
    {IDC_DETECT_WIDTH, KEY_DETECT_WIDTH, "Longueur en pixels d'une suite de contenu qui arrête le recadrage ; conseillé : 5 à 100"},
    {IDC_BLUR_RADIUS, KEY_BLUR_RADIUS, "Rayon du flou en pixels ; conseillé : 1 à 10 ; au-delà de 50 le calcul dure des minutes"},
    {IDC_BLUR_LIMIT, KEY_BLUR_LIMIT, "Écart de couleur au-delà duquel le flou ne mélange pas ; conseillé : 10 à 100"},
    {IDC_VISION_LIMIT1, KEY_VISION_LIMIT1, "Écart de gris minimal qui fait une marque ; conseillé : 20 à 128"},
    {IDC_VISION_WIDTH1, KEY_VISION_WIDTH1, "Largeur en pixels de la fenêtre examinée ; conseillé : 4 à 64"},
    {IDC_VISION_LIMIT2, KEY_VISION_LIMIT2, "Nombre de marques cherchées dans la fenêtre ; conseillé : 1 à la largeur de la fenêtre"},
    {IDC_VISION_WIDTH2, KEY_VISION_WIDTH2, "Plus grand trou comblé entre deux marques, en pixels ; conseillé : 4 à 64"},
    {IDC_VISION_WIDTH3, KEY_VISION_WIDTH3, "Longueur horizontale minimale d'une ligne retenue, en pixels ; conseillé : 32 à 512"},
    {IDC_VISION_ANGLE, KEY_VISION_ANGLE, "Pente maximale d'une ligne retenue, en degrés ; conseillé : 1 à 10"},
    {IDC_OFFSET_ANGLE, KEY_OFFSET_ANGLE, "Angle ajouté à l'angle détecté, en degrés ; conseillé : -5 à 5"},
    {IDC_ORIENTATION, KEY_COUNT, "Tourne d'un quart de tour une page couchée ou à l'envers ; une page sans assez de texte reste telle quelle"},
    {IDC_AFFINAGE_PLAGE, KEY_AFFINAGE_PLAGE, "Demi-largeur en degrés de la recherche précise de l'angle"},
    {IDC_FILL_RED, KEY_COUL_REMPLISSAGE, "Rouge de la couleur des coins découverts"},
    {IDC_FILL_GREEN, KEY_COUL_REMPLISSAGE, "Vert de la couleur des coins découverts"},
    {IDC_FILL_BLUE, KEY_COUL_REMPLISSAGE, "Bleu de la couleur des coins découverts"},
    {IDC_REPERTOIRE1, KEY_COUNT, "Répertoire des images après recadrage et flou (se termine par /)"},
    {IDC_REPERTOIRE2, KEY_COUNT, "Répertoire des images finales (se termine par /)"},
    {IDC_NETTOYAGE_BORDS, KEY_COUNT,
     "Donne la couleur de remplissage au fond du scanner resté autour de la page tournée (coins sombres) ; "
     "le papier et ce qui y est imprimé restent intacts"},
};

}  // namespace

void SetPanelTooltips(PlatformDialog* dialog)
{
    for (const Tip& tip : kTips) {
        std::string text = tip.text;
        if (tip.key != KEY_COUNT) {
            char range[96];
            std::snprintf(range, sizeof range, "\nAccepté par nivelo : de %g à %g", kConfigKeys[tip.key].low,
                          kConfigKeys[tip.key].high);
            text += range;
        }
        PlatformSetControlTooltip(dialog, tip.id, text.c_str());
    }
}
