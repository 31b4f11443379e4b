#include "settings/ExtensionTab.h"

#include "settings/ApSystem.h"
#include "settings/ExtensionSettings.h"
#include "ui_ExtensionTab.h"

namespace vantoria {

ExtensionTab::ExtensionTab(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::ExtensionTab>()) {
    ui_->setupUi(this);
    grp_MonitorMode.addButton(ui_->rdgrp_MonitorMode_0, kMonitorModeSame);
    grp_MonitorMode.addButton(ui_->rdgrp_MonitorMode_1, kMonitorModeEach);
    grp_MonitorMode.addButton(ui_->rdgrp_MonitorMode_2, kMonitorModeSpanned);
}

ExtensionTab::~ExtensionTab() = default;

void ExtensionTab::Fill(const TApSystem& s) {
    ui_->chkbox_AutoWallShuffle->setChecked(s.AutoWallShuffle != 0);
    grp_MonitorMode.button(EffectiveMonitorMode(s))->setChecked(true);
}

bool ExtensionTab::CopyBack(TApSystem& s) const {
    s.AutoWallShuffle = ui_->chkbox_AutoWallShuffle->isChecked() ? 1 : 0;
    const int mode = grp_MonitorMode.checkedId();
    // An unknown stored mode, left alone by the user, stays as it was.
    if (mode == EffectiveMonitorMode(s)) return false;
    s.MonitorMode = mode;
    return true;
}

}  // namespace vantoria
