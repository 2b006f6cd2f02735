#pragma once
// The accounts the service knows and the passengers each one holds.
#include <map>
#include <string>
#include <vector>

namespace quillet::sim {

struct Passenger {
  std::string name;        // UTF-8; may hold characters outside GBK
  std::string sexCode;     // "M" or "F"
  std::string sexName;     // "男" / "女"
  std::string bornDate;    // yyyy-MM-dd
  std::string idTypeCode;  // "1"
  std::string idTypeName;  // "二代身份证"
  std::string idNo;        // 18 characters
  std::string type;        // "1" adult, "3" student
  std::string typeName;    // "成人" / "学生"
  std::string mobile;
  std::string firstLetter;
};

struct Account {
  std::string name;
  std::string password;
  std::vector<Passenger> passengers;
  bool needsFaceCheck = false;  // the waitlist refuses it until a face check
};

// The passengers every account holds: two adults, a student and one whose
// name has a character outside GBK.
std::vector<Passenger> DefaultPassengers();

// The check character of an 18-character id number from its first 17 digits.
char IdCheckCharacter(const std::string& first17);

class AccountBook {
 public:
  // Always holds "demo" (password "demo1234"); extra "NAME:PASSWORD" entries
  // are added, and one named demo replaces its password. "NAME:PASSWORD:face"
  // marks an account whose owner still owes the service a face check.
  explicit AccountBook(const std::vector<std::string>& extra);
  const Account* Find(const std::string& name) const;

 private:
  std::map<std::string, Account> accounts_;
};

}  // namespace quillet::sim
