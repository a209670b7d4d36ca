#pragma once

#include "gui/RightsView.h"

// Tab 1 of the analysis window: where one network group holds which right, as a directory tree.
class usrGroupsRight : public RightsView {
    Q_OBJECT

public:
    explicit usrGroupsRight(QWidget *parent = nullptr);

    QLabel *const lblGroupRight;
    QLineEdit *const txtGroup;
    QPushButton *const cmdSelectGroup;

protected:
    QString StoredDepth() override;
    void StoreDepth(int16_t depth) override;
    std::optional<QStringList> LoadList() override;
    int32_t Query(const QString &database, const QString &filter, const QString &name, QStringList &paths,
                  QStringList &rights) override;
};
