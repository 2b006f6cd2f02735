#pragma once
// Every path of the booking service the client asks, in one place. Each is
// joined to the service's base address as it stands.
namespace quillet::service_paths {

inline constexpr char kLoginPage[] = "/otn/login/init";
inline constexpr char kCaptchaPicture[] =
    "/otn/passcodeNew/getPassCodeNew?module=login&rand=sjrand&0.18218983666535804";
inline constexpr char kCaptchaCheck[] = "/otn/passcodeNew/checkRandCodeAnsyn";
inline constexpr char kLogin[] = "/otn/login/loginAysnSuggest";
inline constexpr char kLoginConfirm[] = "/otn/login/userLogin";
inline constexpr char kCheckUser[] = "/otn/login/checkUser";
inline constexpr char kOrderPage[] = "/otn/confirmPassenger/initDc";
inline constexpr char kPassengers[] = "/otn/confirmPassenger/getPassengerDTOs";
inline constexpr char kLeftTicketQuery[] = "/otn/leftTicket/query";  // followed by its query string
inline constexpr char kSubmitOrderRequest[] = "/otn/leftTicket/submitOrderRequest";
inline constexpr char kCheckOrderInfo[] = "/otn/confirmPassenger/checkOrderInfo";
inline constexpr char kQueueCount[] = "/otn/confirmPassenger/getQueueCount";
inline constexpr char kConfirmSingleForQueue[] = "/otn/confirmPassenger/confirmSingleForQueue";
inline constexpr char kOrderWaitTime[] = "/otn/confirmPassenger/queryOrderWaitTime";  // followed by its query string
inline constexpr char kOrderResult[] = "/otn/confirmPassenger/resultOrderForDcQueue";

}  // namespace quillet::service_paths
