// The operator's texts of the login password, byte for byte as the operators know them.
#pragma once

namespace orvexa::access::text {

inline constexpr const char* kEnterPassword = "لطفا رمز عبور خود را وارد نماييد";
inline constexpr const char* kWrongPassword = "رمز وارد شده صحيح نمي باشد";
inline constexpr const char* kClosingForSecurity = "به دليل حفظ امنيت , برنامه بسته خواهد شد";
inline constexpr const char* kEnterNewAndRepeat = "لطفا رمز ورود جديد و تکرار آن را وارد نماييد";
inline constexpr const char* kMismatch = "خطا : رمز وارد شده با تکرار آن مطابقت ندارد";
inline constexpr const char* kSucceeded = "عمليات با موفقيت انجام گرديد";
inline constexpr const char* kCannotWrite =
    "خطا : به دليل عدم دسترسي کامل به سيستم , تعيين رمز ورود غير ممکن مي باشد";
inline constexpr const char* kRemoved = "درخواست رمز ورود غير فعال گرديد";
inline constexpr const char* kOperationFailed = "عمليات با مشکل مواجه گرديد";
inline constexpr const char* kDigitsOnly = "لطفا فقط از اعداد استفاده نماييد";
// Our own: a password file that exists but cannot be read keeps the program closed.
inline constexpr const char* kUnreadable =
    "فايل رمز ورود قابل خواندن نمي باشد , برنامه بسته خواهد شد";

}  // namespace orvexa::access::text
