// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/status_source.h"

#include "panes/pane_style.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace velmora {

StatusSourceChoice StatusSourceChoice::load()
{
    QSettings settings;
    settings.beginGroup(u"statusSource"_s);
    StatusSourceChoice choice;
    choice.prometheus = settings.value(u"kind"_s).toString() == "prometheus"_L1;
    choice.server.url = QUrl(settings.value(u"url"_s).toString());
    choice.server.user = settings.value(u"user"_s).toString();
    choice.server.password = settings.value(u"password"_s).toString();
    choice.server.selector = settings.value(u"selector"_s).toString();
    return choice;
}

void StatusSourceChoice::save() const
{
    QSettings settings;
    settings.beginGroup(u"statusSource"_s);
    settings.setValue(u"kind"_s, prometheus ? u"prometheus"_s : u"icmp"_s);
    settings.setValue(u"url"_s, server.url.toString());
    settings.setValue(u"user"_s, server.user);
    settings.setValue(u"password"_s, server.password);
    settings.setValue(u"selector"_s, server.selector);
}

PrometheusDialog::PrometheusDialog(const PrometheusSource::Settings& settings, QWidget* parent)
    : QDialog(parent), m_url(new QLineEdit(settings.url.toString(), this)),
      m_user(new QLineEdit(settings.user, this)),
      m_password(new QLineEdit(settings.password, this)),
      m_selector(new QLineEdit(settings.selector, this)), m_problem(new QLabel(this))
{
    setWindowTitle(tr("Prometheus"));
    m_url->setPlaceholderText(u"http://127.0.0.1:9090"_s);
    m_selector->setPlaceholderText(u"job=\"site-a\""_s);
    m_password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Server URL:"), m_url);
    form->addRow(tr("User:"), m_user);
    form->addRow(tr("Password:"), m_password);
    form->addRow(tr("Label selector:"), m_selector);
    auto* note = new QLabel(tr("The password is kept in Velmora's settings file, readable by "
                               "your user account: it is not stored in the desktop's secret "
                               "service."),
                            this);
    note->setWordWrap(true);
    form->addRow(note);
    m_problem->setWordWrap(true);
    m_problem->hide();
    form->addRow(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrometheusDialog::check);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PrometheusSource::Settings PrometheusDialog::settings() const
{
    return {QUrl(m_url->text().trimmed()), m_user->text(), m_password->text(),
            m_selector->text().trimmed()};
}

void PrometheusDialog::check()
{
    const QUrl url = settings().url;
    if (url.isValid() && !url.host().isEmpty() &&
        (url.scheme() == "http"_L1 || url.scheme() == "https"_L1)) {
        accept();
        return;
    }
    m_problem->setText(tr("Enter the server's address starting with http:// or https://."));
    m_problem->show();
}

StatusSourceRow::StatusSourceRow(QWidget* parent)
    : LabelRowButton(parent), m_value(new QLabel(this))
{
    setFlatLook(this, u"liveOption"_s);
    setAccessibleName(tr("Status Source"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    auto* name = new QLabel(tr("Status Source"), this);
    name->setObjectName(u"liveOptionName"_s);
    m_value->setObjectName(u"optionBadge"_s);
    m_value->setWordWrap(true); // "This computer (ICMP)" takes two lines in the narrow pane
    m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* label : {name, m_value})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(name);
    row->addStretch();
    row->addWidget(m_value);
    setMinimumHeight(20);

    auto* menu = new QMenu(this);
    QAction* local = menu->addAction(tr("This computer (ICMP)"));
    QAction* prometheus = menu->addAction(tr("Prometheus…"));
    connect(local, &QAction::triggered, this, [this] {
        StatusSourceChoice choice = m_choice;
        choice.prometheus = false;
        choice.save();
        setChoice(choice);
        emit choiceChanged(choice);
    });
    connect(prometheus, &QAction::triggered, this, [this] {
        auto* dialog = new PrometheusDialog(m_choice.server, window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QDialog::accepted, this, [this, dialog] {
            StatusSourceChoice choice{true, dialog->settings()};
            choice.save();
            setChoice(choice);
            emit choiceChanged(choice);
        });
        dialog->open();
    });
    connect(this, &QPushButton::clicked, this,
            [this, menu] { menu->popup(mapToGlobal(rect().bottomLeft())); });
    setChoice(StatusSourceChoice{});
}

void StatusSourceRow::setChoice(const StatusSourceChoice& choice)
{
    m_choice = choice;
    m_value->setText(choice.prometheus ? tr("Prometheus") : tr("This computer (ICMP)"));
    setToolTip(choice.prometheus ? choice.server.url.toString(QUrl::RemoveUserInfo) : QString());
}

QString StatusSourceRow::valueText() const
{
    return m_value->text();
}

} // namespace velmora
