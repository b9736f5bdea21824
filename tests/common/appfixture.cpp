#include "appfixture.h"

#include "testdb.h"

#include "platform/files.h"
#include "platform/messagebox.h"
#include "shell/Zil0.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

namespace zil::test {

QString withCheckDigit(const QString &cas)
{
    QString digits;
    for (QChar c : cas)
        if (c.isDigit())
            digits += c;
    int sum = 0;
    for (int i = 0; i < digits.size(); ++i)
        sum += (digits.at(digits.size() - 1 - i).digitValue()) * (i + 1);
    return cas + QLatin1Char('-') + QString::number(sum % 10);
}

QString hoverToolTip(QWidget *widget)
{
    const QPoint at = widget->rect().center();
    QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

QAbstractButton *clearButton(QLineEdit *field)
{
    for (QAbstractButton *b : field->findChildren<QAbstractButton *>())
        if (b->isVisibleTo(field))
            return b;
    return nullptr;
}

bool makeDatabase(const QString &srcDir, const QString &dbDir,
    const QList<SourceMaterial> &materials, const QList<SourceSupplier> &suppliers,
    const QList<SourceLink> &links)
{
    QDir().mkpath(srcDir);
    QList<QStringList> m {
        {"key", "name", "cas", "fema", "ce", "occur", "flavor", "applic", "liter", "notes"}};
    QList<QStringList> s {{"material", "name"}};
    for (const SourceMaterial &x : materials) {
        QString cas = x.cas;
        if (!cas.isEmpty() && cas.count(QLatin1Char('-')) == 1)
            cas = withCheckDigit(cas);
        m << QStringList {
            x.key, x.name, cas, x.fema, x.ce, x.occur, x.flavor, x.applic, x.liter, QString()};
        for (const QString &synonym : x.synonyms)
            s << QStringList {x.key, synonym};
    }
    QList<QStringList> sup {{"id", "name", "address", "city", "country", "phone"}};
    for (const SourceSupplier &x : suppliers)
        sup << QStringList {QString::number(x.id), x.name, x.address, x.city, x.country, x.phone};
    QList<QStringList> l {{"material", "supplier", "price", "comment"}};
    for (const SourceLink &x : links)
        l << QStringList {x.material, QString::number(x.supplier), QString(), QString()};
    writeCsv(srcDir + "/materials.csv", m);
    writeCsv(srcDir + "/synonyms.csv", s);
    writeCsv(srcDir + "/suppliers.csv", sup);
    writeCsv(srcDir + "/links.csv", l);
    return runMakeDb({srcDir, dbDir});
}

// The newest fixture's hooks are in force; replacing a fixture by a new one
// does not take the new one's hooks away when the old one goes.
RunningApp::RunningApp()
    : m_messageHook([this](platform::MessageKind, const QString &title, const QString &text) {
        messages << title + ": " + text;
    })
{ }

RunningApp::~RunningApp()
{
    m_form.reset();
}

bool RunningApp::start(const QString &dbDir)
{
    const QString program = m_programDir.filePath(QStringLiteral("zil"));
    QFile ini(m_programDir.filePath(QStringLiteral("zil.INI")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    ini.write("[Database]\nPath=" + dbDir.toUtf8() + "/\n");
    ini.close();
    m_programHook.emplace([program] { return program; });
    m_form = std::make_unique<TMainForm>();
    return m_form->StartUp();
}

void RunningApp::show()
{
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("main window not exposed");
}

} // namespace zil::test
