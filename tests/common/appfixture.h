// The program's main window started on a real database, as a user starts it:
// a program file with its settings file beside it naming the database
// directory, then StartUp. Message boxes are caught and kept.
#pragma once

#include "platform/files.h"
#include "platform/messagebox.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class QAbstractButton;
class QLineEdit;
class QWidget;
class TMainForm;

namespace zil::test {

// One material of a source directory. The key, a positive integer written as
// text, only ties synonyms and links to it; ids are given by the maker in name
// order.
struct SourceMaterial
{
    QString key;
    QString name;
    QString cas; // with or without its check digit: "64-17" gets "-5"
    QString fema;
    QString ce;
    QString occur;
    QString flavor;
    QString applic;
    QString liter;
    QStringList synonyms; // in pos order
};

struct SourceSupplier
{
    int id = 0;
    QString name;
    QString address;
    QString city;
    QString country;
    QString phone;
};

struct SourceLink
{
    QString material; // the material's key
    int supplier = 0;
};

// A CAS number "digits-digits" completed with its check digit.
QString withCheckDigit(const QString &cas);

// Writes the four CSV sources to dir and makes a database of them in
// dbDir with zil-makedb. Returns false (with a warning) when the maker fails.
bool makeDatabase(const QString &srcDir, const QString &dbDir,
    const QList<SourceMaterial> &materials, const QList<SourceSupplier> &suppliers = {},
    const QList<SourceLink> &links = {});

// The tooltip shown while the pointer rests on the middle of widget; empty
// when none is shown. The tooltip is hidden again.
QString hoverToolTip(QWidget *widget);

// The button inside a search field that empties it, while it is there to be
// clicked (the field holds text); null otherwise.
QAbstractButton *clearButton(QLineEdit *field);

// A main window started on a database directory.
class RunningApp
{
public:
    RunningApp();
    ~RunningApp();

    // Writes the settings file naming dbDir, creates the main window and runs
    // StartUp; returns its result. The window is not shown.
    bool start(const QString &dbDir);
    // The window as the main loop shows it, exposed on the screen.
    void show();

    TMainForm *form() const { return m_form.get(); }
    TMainForm *operator->() const { return m_form.get(); }
    // Message boxes shown so far, as "Title: text".
    QStringList messages;

private:
    QTemporaryDir m_programDir;
    platform::ScopedMessageBoxHook m_messageHook;
    std::optional<platform::ScopedProgramFilePathHook> m_programHook;
    std::unique_ptr<TMainForm> m_form;
};

} // namespace zil::test
