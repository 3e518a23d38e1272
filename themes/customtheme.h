#pragma once

#include "customcolors.h"

#include <QButtonGroup>
#include <QDialog>
#include <QIcon>

#include <memory>

class QAbstractButton;
class QColorDialog;

namespace Ui {
class CustomTheme;
}

// The dialog in which the user edits the Custom theme: one button per colour
// of the table, each showing its colour as an icon at its right end. Apply
// stores the table and hands it to the plot; Cancel just closes.
class CustomTheme : public QDialog
{
    Q_OBJECT

public:
    explicit CustomTheme(QWidget *parent = nullptr);
    ~CustomTheme() override;

    // The one colour table of the Custom theme.
    CustomColors *colorTable() { return &colors; }

    // The stored theme, or the defaults when none was saved; recolours the buttons.
    void loadTheme();
    // Writes the table and the "theme saved" marker into the theme store.
    void saveTheme();
    // Why the theme store was not read at the last load (see SafeStore::problem),
    // and where it is.
    QString storeProblem() const { return problem; }
    QString storePath() const { return path; }
    // The built-in Dark colours (nothing is stored).
    void loadDefaultTheme();
    void prepareButtons();
    void colorizeButtons();
    static QIcon prepareIcon(const QColor &color);
    static QString idealForegroundColor(const QColor &color);

signals:
    void applyCustomTheme(int theme, CustomColors *colors);

private slots:
    void on_applyButton_clicked();
    void on_cancelButton_clicked();
    void onButtonClicked(QAbstractButton *button);

private:
    std::unique_ptr<Ui::CustomTheme> ui;
    std::unique_ptr<QColorDialog> colorDialog; // no parent: a window of its own
    CustomColors colors;
    QButtonGroup buttonGroup;
    QString problem;
    QString path;
};
