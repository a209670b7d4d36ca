#pragma once

#include "gui/RightsView.h"

class QCheckBox;

// Tab 2 of the analysis window: where one user holds which right, directly or, when asked,
// through its groups; rows of one directory become one node with the highest right.
class usrUserRight : public RightsView {
    Q_OBJECT

public:
    explicit usrUserRight(QWidget *parent = nullptr);

    QLabel *const lblUserRight;
    QLineEdit *const txtUser;
    QPushButton *const cmdSelectUser;
    QCheckBox *chkRelatedGroups = nullptr;

protected:
    QString StoredDepth() override;
    void StoreDepth(int16_t depth) override;
    std::optional<QStringList> LoadList() override;
    int32_t Query(const QString &database, const QString &filter, const QString &name, QStringList &paths,
                  QStringList &rights) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
