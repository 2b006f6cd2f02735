#include "ui/order_pages.h"

#include "app/app_state.h"

namespace quillet {

OrderPages::OrderPages(QWidget* mainWindow, AppState& state, QObject* parent)
    : QObject(parent), window_(mainWindow), state_(state) {}

}  // namespace quillet
