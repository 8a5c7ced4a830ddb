// The tooltips of the panels' edits: what each value does and the range in
// which it is useful, so that a user does not have to find out by a run
// that lasts minutes.
#include "gui/panel_resources.h"
#include "gui/panels.h"

namespace {

struct Tip {
    int id;
    const char* text;
};

const Tip kTips[] = {
    {IDC_DETECT_DIFF, "Écart de couleur avec le fond qui fait d'un pixel du contenu : 10 à 80 (0 à 255)"},
    {IDC_DETECT_WIDTH, "Longueur en pixels d'une suite de contenu qui arrête le recadrage : 5 à 100"},
    {IDC_BLUR_RADIUS, "Rayon du flou en pixels : 1 à 10 ; au-delà de 50 le calcul dure des minutes"},
    {IDC_BLUR_LIMIT, "Écart de couleur au-delà duquel le flou ne mélange pas : 10 à 100 (0 à 255)"},
    {IDC_VISION_LIMIT1, "Écart de gris minimal qui fait une marque : 20 à 128 (0 à 255)"},
    {IDC_VISION_WIDTH1, "Largeur en pixels de la fenêtre examinée : 4 à 64"},
    {IDC_VISION_LIMIT2, "Nombre de marques cherchées dans la fenêtre : 1 à la largeur de la fenêtre"},
    {IDC_VISION_WIDTH2, "Plus grand trou comblé entre deux marques, en pixels : 4 à 64"},
    {IDC_VISION_WIDTH3, "Longueur horizontale minimale d'une ligne retenue, en pixels : 32 à 512"},
    {IDC_VISION_ANGLE, "Pente maximale d'une ligne retenue, en degrés : 1 à 10"},
    {IDC_OFFSET_ANGLE, "Angle ajouté à l'angle détecté, en degrés : -5 à 5"},
    {IDC_ORIENTATION, "Tourne d'un quart de tour une page couchée ou à l'envers ; une page sans assez de texte reste telle quelle"},
    {IDC_FILL_RED, "Rouge de la couleur des coins découverts : 0 à 255"},
    {IDC_FILL_GREEN, "Vert de la couleur des coins découverts : 0 à 255"},
    {IDC_FILL_BLUE, "Bleu de la couleur des coins découverts : 0 à 255"},
    {IDC_REPERTOIRE1, "Répertoire des images après recadrage et flou (se termine par /)"},
    {IDC_REPERTOIRE2, "Répertoire des images finales (se termine par /)"},
};

}  // namespace

void SetPanelTooltips(PlatformDialog* dialog)
{
    for (const Tip& tip : kTips) PlatformSetControlTooltip(dialog, tip.id, tip.text);
}
