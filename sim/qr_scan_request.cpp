#include "qr_scan_request.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace quillet::sim {

std::optional<QrScan> ReadQrScan(const std::string& body, std::string& error) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body), &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
    error = "the body must be a JSON object {\"id\":...,\"account\":...,\"confirm\":true|false}";
    return std::nullopt;
  }
  const QJsonObject object = document.object();
  const QJsonValue id = object.value("id");
  const QJsonValue account = object.value("account");
  const QJsonValue confirm = object.value("confirm");
  if (!id.isString() || !account.isString()) {
    error = "id and account must be strings";
    return std::nullopt;
  }
  if (!confirm.isUndefined() && !confirm.isBool()) {
    error = "confirm must be true or false";
    return std::nullopt;
  }
  QrScan scan;
  scan.id = id.toString().toStdString();
  scan.account = account.toString().toStdString();
  if (confirm.isBool()) scan.confirm = confirm.toBool();
  return scan;
}

}  // namespace quillet::sim
