#include "ui/purchase_page.h"

#include "app/app_state.h"

namespace quillet {

PurchasePage::PurchasePage(QWidget* mainWindow, AppState& state, QObject* parent)
    : QObject(parent), window_(mainWindow), state_(state) {}

PurchasePage::~PurchasePage() = default;

void PurchasePage::Shutdown() {
  if (state_.grab) state_.grab->StopAndJoinAll();
}

}  // namespace quillet
