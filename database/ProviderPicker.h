#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// Lets the user pick the data source provider when the configured one cannot open the
// database ("Enumerators"): the providers the system lists, with the recommended one named.
class ProviderPicker : public QDialog
{
    Q_OBJECT

public:
    // `current` is selected when it is among `providers`.
    ProviderPicker(const QStringList& providers, const QString& current, QWidget* parent = nullptr);

    QListWidget* providerList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    // The selected provider, or an empty string.
    QString selectedProvider() const;

    // Runs the picker; true with `chosen` set when the user confirmed a provider.
    static bool choose(QWidget* parent, const QStringList& providers, const QString& current,
                       QString* chosen);

private:
    void updateOk();

    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
};

// The save questions after a provider worked; true for Yes (the caller stores
// "Database source").
bool AskSaveInternalDefault(QWidget* owner);
bool AskSaveChosenProvider(QWidget* owner);
