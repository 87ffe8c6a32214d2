#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <functional>

class CSupportDoc;
class QDateTime;
class CommandRouter;
class QComboBox;
class QTreeWidgetItem;
class TopicHost;
class TopicTreeWidget;

// "\r\nDecember 05, 2026\r\n": the date line that "Add Date" puts into the message,
// the month named in English whatever the user's locale.
QString formatTopicDate(const QDateTime& when);

// The topic commands: the topic tree (folders and files under the current topic root)
// and the topic text box, with the header, footer and date for the outgoing message.
class TopicController : public QObject
{
    Q_OBJECT

public:
    // Where the loaded topic text came from.
    enum Source { NothingLoaded = 0, FromTree = 1, FromFileDialog = 2 };
    enum Reselect { ReselectNone = 0, ReselectFile = 1, ReselectFolder = 2 };
    static constexpr int kCreateReplyTab = 2;
    static constexpr int kCreateTopicFileTab = 6;

    TopicController(CSupportDoc& doc, TopicHost& host, TopicTreeWidget& tree,
                    QObject* parent = nullptr);

    // Binds the topic commands and buttons with their enable rules.
    void bindCommands(CommandRouter& router);
    void connectButtons(const std::function<QObject*(int id)>& control);
    void connectSelector(QComboBox* selector);

    // ---- tree (TopicTreeCommands.cpp) ----
    void fillTree();
    void Refresh();
    void NewTopicFolder();
    void RenameSelected();
    void DeleteSelected();
    // A new path index chosen in the shared selector.
    void SelectRoot(int index);
    void DropOnItem(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    void DropOutside(QTreeWidgetItem* dragged, const QPoint& globalPos);
    // In-place label editing; returns whether the new label is accepted.
    bool RenameInPlace(QTreeWidgetItem* item, const QString& oldLabel, const QString& newLabel);

    // ---- text (TopicTextCommands.cpp) ----
    void OnTreeSelection();
    void OpenTopicFile();
    void SaveTopicFile();
    void UpdateCurrentTopicFile();
    void CreateTopicFile();
    void InsertHeader();
    void InsertFooter();
    void AddDate();

    Source source() const { return m_source; }
    QString currentTopicPath() const { return m_currentPath; }
    bool loadedRich() const { return m_rich; }
    void setRandomSeed(quint32 seed) { m_random.seed(seed); }

private:
    QString folderPath(const QString& folder) const;
    QString filePath(const QString& folder, const QString& file) const;
    bool refuseUnsafe(const QString& name);
    // The loaded file follows a rename or move of itself or of its folder, and a deleted
    // loaded file leaves the box with no current file.
    void followMove(const QString& from, const QString& to);
    void forgetDeleted(const QString& path);
    void rememberForReselect(const QString& folder, const QString& file, Reselect kind);
    void reselect();
    void onItemChanged(QTreeWidgetItem* item);
    void insertHeadFoot(const QString& baseName);
    bool writeBoxTo(const QString& path, bool rich);
    // Reads a topic file into the topic box; false (after telling why) when it has no text.
    bool loadIntoBox(const QString& path, Source source);
    QString boxText(int rich);

    CSupportDoc& m_doc;
    TopicHost& m_host;
    TopicTreeWidget& m_tree;
    QRandomGenerator m_random;

    QString m_rememberedFolder;
    QString m_rememberedFile;
    Reselect m_reselect = ReselectNone;
    QString m_editedLabel;
    bool m_filling = false;

    QString m_currentPath;
    Source m_source = NothingLoaded;
    bool m_rich = false;
    bool m_firstSelection = true;
};
