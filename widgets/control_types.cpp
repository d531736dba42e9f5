#include "widgets/control_types.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/picture_box.h"
#include "widgets/skin_label.h"

QString ControlTypeName(const QObject* c) {
    if (!c) return {};
    // Most derived classes first: a SkinLabel is a QLabel, a DriveListBox a QComboBox.
    if (qobject_cast<const SkinLabel*>(c)) return QStringLiteral("SkinLabel");
    if (qobject_cast<const DriveListBox*>(c)) return QStringLiteral("DriveListBox");
    if (qobject_cast<const DirListBox*>(c)) return QStringLiteral("DirListBox");
    if (qobject_cast<const FileListBox*>(c)) return QStringLiteral("FileListBox");
    if (qobject_cast<const ListView*>(c)) return QStringLiteral("ListView");
    if (qobject_cast<const PictureBox*>(c)) return QStringLiteral("PictureBox");
    if (qobject_cast<const QCheckBox*>(c)) return QStringLiteral("CheckBox");
    if (qobject_cast<const QRadioButton*>(c)) return QStringLiteral("OptionButton");
    if (qobject_cast<const QAbstractButton*>(c)) return QStringLiteral("CommandButton");
    if (qobject_cast<const QLabel*>(c)) return QStringLiteral("Label");
    if (qobject_cast<const QGroupBox*>(c)) return QStringLiteral("Frame");
    if (qobject_cast<const QLineEdit*>(c)) return QStringLiteral("TextBox");
    if (qobject_cast<const QComboBox*>(c)) return QStringLiteral("ComboBox");
    if (qobject_cast<const QTabBar*>(c) || qobject_cast<const QTabWidget*>(c)) return QStringLiteral("TabStrip");
    if (qobject_cast<const QAction*>(c) || qobject_cast<const QMenu*>(c)) return QStringLiteral("Menu");
    return QString::fromLatin1(c->metaObject()->className());
}
