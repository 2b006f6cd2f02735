#include "accounts.h"

namespace quillet::sim {

char IdCheckCharacter(const std::string& first17) {
  static const int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  static const char kChecks[] = "10X98765432";
  int sum = 0;
  for (std::size_t i = 0; i < 17 && i < first17.size(); ++i) sum += (first17[i] - '0') * kWeights[i];
  return kChecks[sum % 11];
}

namespace {
Passenger Make(const char* name, bool male, const char* born, const char* first17, bool student, const char* mobile,
               const char* letters) {
  Passenger p;
  p.name = name;
  p.sexCode = male ? "M" : "F";
  p.sexName = male ? "男" : "女";
  p.bornDate = born;
  p.idTypeCode = "1";
  p.idTypeName = "二代身份证";
  p.idNo = std::string(first17) + IdCheckCharacter(first17);
  p.type = student ? "3" : "1";
  p.typeName = student ? "学生" : "成人";
  p.mobile = mobile;
  p.firstLetter = letters;
  return p;
}
}  // namespace

std::vector<Passenger> DefaultPassengers() {
  return {
      Make("张伟", true, "1985-03-12", "11010519850312001", false, "13812345678", "ZW"),
      Make("李娜", false, "1990-07-25", "31010419900725002", false, "13911112222", "LN"),
      Make("王晓明", true, "2004-09-01", "44010620040901003", true, "15800001111", "WXM"),
      Make("陈𠮷", true, "1978-11-30", "50010319781130005", false, "18600002222", "CJ"),
  };
}

AccountBook::AccountBook(const std::vector<std::string>& extra) {
  accounts_["demo"] = Account{"demo", "demo1234", DefaultPassengers()};
  for (const std::string& entry : extra) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    const std::string name = entry.substr(0, colon);
    std::string password = entry.substr(colon + 1);
    static const std::string kFaceMark = ":face";
    const bool face = password.size() > kFaceMark.size() &&
                      password.compare(password.size() - kFaceMark.size(), kFaceMark.size(), kFaceMark) == 0;
    if (face) password.resize(password.size() - kFaceMark.size());
    accounts_[name] = Account{name, std::move(password), DefaultPassengers(), face};
  }
}

const Account* AccountBook::Find(const std::string& name) const {
  const auto it = accounts_.find(name);
  return it == accounts_.end() ? nullptr : &it->second;
}

}  // namespace quillet::sim
