#include "CommandTable.h"

#include "view/CommandIds.h"

namespace {
using K = QKeySequence;

QString Field(const char* string, int index)
{
    if (!string)
        return {};
    const QStringList fields = QString::fromUtf8(string).split('\n');
    return index < fields.size() ? fields[index] : QString();
}

const char* const kRecentPrompt = "Ouvre ce document";
} // namespace

QString CommandInfo::Prompt() const { return Field(string, 0); }
QString CommandInfo::Tooltip() const { return Field(string, 1); }

const std::vector<CommandInfo>& CommandTable::Commands()
{
    static const std::vector<CommandInfo> commands = {
        {ID_FILE_NEW, "ID_FILE_NEW", "&Dessiner\tCtrl+N", "Crée un nouveau document\nNouveau", {K(Qt::CTRL | Qt::Key_N)}, 1},
        {ID_FILE_OPEN, "ID_FILE_OPEN", "&Ouvrir...\tCtrl+O", "Ouvre un document existant\nOuvrir", {K(Qt::CTRL | Qt::Key_O)}, 2},
        {ID_FILE_SAVE, "ID_FILE_SAVE", "&Enregistrer\tCtrl+S", "Enregistre le document actif\nEnregistrer", {K(Qt::CTRL | Qt::Key_S)}, 3},
        {ID_FILE_SAVE_AS, "ID_FILE_SAVE_AS", "En&registrer sous...", "Enregistre le document actif sous un nouveau nom\nEnregistrer sous", {}, 0},
        {ID_FILE_EXPORT_IMAGE, "ID_FILE_EXPORT_IMAGE", "Exporter image", nullptr, {}, 0},
        {ID_FILE_EXPORT_IMAGE_AS, "ID_FILE_EXPORT_IMAGE_AS", "E&xporter image...", nullptr, {}, 0},
        {ID_FILE_EXPORT_VIDEO, "ID_FILE_EXPORT_VIDEO", "Ex&porter vidéo...", nullptr, {}, 0},
        {ID_FILE_PRINT, "ID_FILE_PRINT", "&Imprimer...\tCtrl+P", "Imprime le document actif\nImprimer", {K(Qt::CTRL | Qt::Key_P)}, 4},
        {ID_FILE_PRINT_DIRECT, "ID_FILE_PRINT_DIRECT", nullptr, nullptr, {}, 0},
        {ID_FILE_PRINT_PREVIEW, "ID_FILE_PRINT_PREVIEW", "Aperçu a&vant impression", "Affiche des pages entières\nAperçu avant impression", {}, 0},
        {ID_FILE_PRINT_SETUP, "ID_FILE_PRINT_SETUP", "C&onfiguration de l'impression...", "Change les options d'imprimante et d'impression\nConfiguration de l'impression", {}, 0},
        {ID_FILE_MRU_FILE1, "ID_FILE_MRU_FILE1", "Fichier récent", kRecentPrompt, {}, 0},
        {ID_FILE_MRU_FILE1 + 1, "ID_FILE_MRU_FILE2", nullptr, kRecentPrompt, {}, 0},
        {ID_FILE_MRU_FILE1 + 2, "ID_FILE_MRU_FILE3", nullptr, kRecentPrompt, {}, 0},
        {ID_FILE_MRU_FILE4, "ID_FILE_MRU_FILE4", nullptr, kRecentPrompt, {}, 0},
        {ID_APP_EXIT, "ID_APP_EXIT", "&Quitter", "Ferme l'application ; propose d'enregistrer les documents\nQuitter", {}, 0},
        {ID_EDIT_UNDO, "ID_EDIT_UNDO", "&Annuler\tCtrl+Z", "Annule la dernière action\nAnnuler", {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}, 0},
        {ID_EDIT_PARAMETERS, "ID_EDIT_PARAMETERS", "&Paramètrage", nullptr, {}, 0},
        {ID_EDIT_COLORS, "ID_EDIT_COLORS", "&Couleurs", nullptr, {}, 0},
        {ID_VIEW_TOOLBAR, "ID_VIEW_TOOLBAR", "&Barre d'outils", "Affiche ou masque la barre d'outils\nBarre d'outils", {}, 0},
        {ID_VIEW_STATUS_BAR, "ID_VIEW_STATUS_BAR", "Barre d'é&tat", "Affiche ou masque la barre d'état\nBarre d'état", {}, 0},
        {ID_APP_ABOUT, "ID_APP_ABOUT", "&A propos de nivo...", "Affiche des informations sur le programme, le numéro de version et le copyright\nA propos de", {}, 5},
        {ID_EDIT_COPY, "ID_EDIT_COPY", nullptr, "Copie la sélection et la place dans le Presse-papiers\nCopier", {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}, 0},
        {ID_EDIT_CUT, "ID_EDIT_CUT", nullptr, "Supprime la sélection et la place dans le Presse-papiers\nCouper", {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}, 0},
        {ID_EDIT_PASTE, "ID_EDIT_PASTE", nullptr, "Insère le contenu du Presse-papiers\nColler", {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}, 0},
        {ID_NEXT_PANE, "ID_NEXT_PANE", nullptr, "Passe au volet de fenêtre suivant\nVolet suivant", {K(Qt::Key_F6)}, 0},
        {ID_PREV_PANE, "ID_PREV_PANE", nullptr, "Revient au volet précédent\nVolet précédent", {K(Qt::SHIFT | Qt::Key_F6)}, 0},
        {ID_PREVIEW_CLOSE, "AFX_ID_PREVIEW_CLOSE", nullptr, "Ferme le mode d'aperçu avant impression\nFermer l'aperçu", {}, 0},
    };
    return commands;
}

const CommandInfo* CommandTable::Find(int id)
{
    for (const CommandInfo& c : Commands())
        if (c.id == id)
            return &c;
    return nullptr;
}

const std::vector<MenuInfo>& CommandTable::Menus()
{
    static const std::vector<MenuInfo> menus = {
        {"&Fichier",
         {{ID_FILE_NEW}, {ID_FILE_OPEN}, {ID_FILE_SAVE}, {ID_FILE_SAVE_AS}, {0}, {ID_FILE_EXPORT_IMAGE},
          {ID_FILE_EXPORT_IMAGE_AS}, {ID_FILE_EXPORT_VIDEO}, {0}, {ID_FILE_PRINT}, {ID_FILE_PRINT_PREVIEW},
          {ID_FILE_PRINT_SETUP}, {0}, {ID_FILE_MRU_FILE1}, {0}, {ID_APP_EXIT}}},
        {"&Edition", {{ID_EDIT_UNDO}, {0}, {ID_EDIT_PARAMETERS}, {ID_EDIT_COLORS}}},
        {"&Affichage", {{ID_VIEW_TOOLBAR}, {ID_VIEW_STATUS_BAR}}},
        {"&?", {{ID_APP_ABOUT}}},
    };
    return menus;
}

const std::vector<int>& CommandTable::ToolbarItems()
{
    static const std::vector<int> items = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_FILE_PRINT, ID_APP_ABOUT};
    return items;
}

QString CommandTable::String(int id)
{
    switch (id) {
    case 57344:
        return QStringLiteral("nivo");
    case 57345:
        return QString::fromUtf8("Prêt");
    case ID_INDICATOR_X:
    case ID_INDICATOR_Y:
        return QStringLiteral("0.0");
    }
    const CommandInfo* c = Find(id);
    return c && c->string ? QString::fromUtf8(c->string) : QString();
}
