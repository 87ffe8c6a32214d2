#pragma once

#include <QWidget>
#include <array>

class CSupportDoc;
class QLineEdit;

// The "Edit file topic paths" page of the Preferences sheet: the main topic root (shown,
// not editable) and the nine further topic roots, each with a folder browser.
class cproppage5 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPaths = 10;
    static constexpr int kMinPathLength = 4;

    explicit cproppage5(const CSupportDoc& doc, QWidget* parent = nullptr);

    QLineEdit* pathEdit(int index) const { return m_edits[static_cast<size_t>(index)]; }
    // Opens the folder browser for path `index` (1..9).
    void browse(int index);

    // Stores every changed path in the document; true when any changed. A path shorter
    // than four characters gets "unknown" appended, so "C:" is kept as "C:unknown".
    bool apply(CSupportDoc& doc) const;

private:
    std::array<QLineEdit*, kPaths> m_edits{};
};
