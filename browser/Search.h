// The criteria dialog: words to look for in a material's name or synonyms and
// in its occurrence, flavour and application texts, handed to the criteria
// test as they are typed.
#pragma once

#include "criteria.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zil::store {
class Table;
}

class TSearchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TSearchWindow(QWidget *parent = nullptr);

    // The criteria; CAS is never shown, so it only ever holds what Clear
    // leaves in it.
    QLineEdit *Material = nullptr;
    QLineEdit *CAS = nullptr;
    QLineEdit *Occurence = nullptr;
    QLineEdit *Flavour = nullptr;
    QLineEdit *Application = nullptr;
    QPushButton *SearchButton = nullptr;
    QPushButton *SearchAllButton = nullptr;
    QPushButton *ClearButton = nullptr;
    QPushButton *CloseButton = nullptr;
    // How the last showing ended: 0 close, 1 select, 2 select all.
    int Choice = 0;

    // Shows the dialog modally and returns Choice.
    int Execute();

    void FormShow();
    void SearchButtonClick();
    void SearchAllButtonClick();
    void ClearButtonClick();
    void CloseButtonClick();

    // The scan cursor on MATERIAL.DB and the SYNON.DB cursor that follows it,
    // for the criteria test.
    void SetScanCursors(zil::store::Table *materials, zil::store::Table *synonyms);

    // The criteria of the five fields as they are now.
    Criteria criteria() const;
    // The test of the criteria in the fields, which follows every change of a
    // field; it lives as long as the dialog.
    CriteriaTest &Test() { return m_test; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *addRow(
        const QString &caption, QLineEdit *&field, const char *name, int top, int x, int width);

    CriteriaTest m_test;
};
