#pragma once
// Every path of the booking service the program asks or names, in one place;
// tests and benchmarks use them from here too. Each is joined to the
// service's base address as it stands.
namespace quillet::service_paths {

// The booking application's root: a HEAD of it needs no sign-in and carries
// the service's Date, which the clock probes read.
inline constexpr char kApplicationRoot[] = "/otn/";
inline constexpr char kLoginPage[] = "/otn/login/init";
inline constexpr char kCaptchaPicture[] =
    "/otn/passcodeNew/getPassCodeNew?module=login&rand=sjrand&0.18218983666535804";
inline constexpr char kCaptchaPicturePath[] = "/otn/passcodeNew/getPassCodeNew";  // the above without its query
inline constexpr char kCaptchaCheck[] = "/otn/passcodeNew/checkRandCodeAnsyn";
inline constexpr char kLogin[] = "/otn/login/loginAysnSuggest";
inline constexpr char kLoginConfirm[] = "/otn/login/userLogin";
inline constexpr char kCheckUser[] = "/otn/login/checkUser";
inline constexpr char kSignedInHome[] = "/otn/index/initMy12306";  // where a sign-in leads
inline constexpr char kOrderPage[] = "/otn/confirmPassenger/initDc";
inline constexpr char kPassengers[] = "/otn/confirmPassenger/getPassengerDTOs";
inline constexpr char kLeftTicketPage[] = "/otn/leftTicket/init";    // the query requests' Referer
inline constexpr char kLeftTicketQuery[] = "/otn/leftTicket/query";  // followed by its query string
inline constexpr char kSubmitOrderRequest[] = "/otn/leftTicket/submitOrderRequest";
inline constexpr char kCheckOrderInfo[] = "/otn/confirmPassenger/checkOrderInfo";
inline constexpr char kQueueCount[] = "/otn/confirmPassenger/getQueueCount";
inline constexpr char kConfirmSingleForQueue[] = "/otn/confirmPassenger/confirmSingleForQueue";
inline constexpr char kOrderWaitTime[] = "/otn/confirmPassenger/queryOrderWaitTime";  // followed by its query string
inline constexpr char kOrderResult[] = "/otn/confirmPassenger/resultOrderForDcQueue";
// The account's unfinished orders, as the service's own pages show them.
inline constexpr char kUnfinishedOrders[] = "/otn/queryOrder/queryMyOrderNoComplete";
// When each station's sale opens each day, and how far ahead dates go on sale.
inline constexpr char kStationSaleTimes[] = "/otn/resources/js/query/qss.js";

// Waitlist orders: the party check, the chance of success, submit, confirm,
// the queue, and the state and cancellation of an order.
inline constexpr char kWaitlistCheck[] = "/otn/afterNate/chechFace";
inline constexpr char kWaitlistChances[] = "/otn/afterNate/getSuccessRate";
inline constexpr char kWaitlistSubmit[] = "/otn/afterNate/submitOrderRequest";
inline constexpr char kWaitlistConfirm[] = "/otn/afterNate/confirmHB";
inline constexpr char kWaitlistQueue[] = "/otn/afterNate/queryQueue";
inline constexpr char kWaitlistState[] = "/otn/afterNateQuery/queryProcess";
inline constexpr char kWaitlistCancel[] = "/otn/afterNateQuery/cancelWaitOrder";

// QR sign-in: the passport service makes a code and tells its state; once the
// phone has confirmed it, its passport token is exchanged for the session's.
inline constexpr char kQrCreate[] = "/passport/web/create-qr64";
inline constexpr char kQrCheck[] = "/passport/web/checkqr";
inline constexpr char kPassportToken[] = "/passport/web/auth/uamtk";
inline constexpr char kAuthClient[] = "/otn/uamauthclient";
// What a sign-in QR code encodes, followed by the code's uuid: the address
// the railway's phone app opens.
inline constexpr char kQrContentPrefix[] = "https://kyfw.12306.cn/otn/login/qr?uuid=";

}  // namespace quillet::service_paths
