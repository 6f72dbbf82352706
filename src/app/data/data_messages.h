// The operator's texts of the contact pages, byte for byte as the operators know them.
#pragma once

#include <string>

namespace orvexa::data::text {

inline constexpr const char* kEnterGroupName = "ابتدا نام گروه جديد را وارد نماييد";
inline constexpr const char* kDuplicateGroup = "نام وارد شده از قبل موجود مي باشد";
inline constexpr const char* kGroupCreated = "گروه جديد ثبت گرديد";
inline constexpr const char* kChooseGroup = "ابتدا نام گروه مورد نظر را از ليست انتخاب نماييد";
inline constexpr const char* kConfirmDrop = "آيا از حذف اين گروه مطمئنيد؟";
inline constexpr const char* kOperationFailed = "عمليات با مشکل مواجه گرديد";
inline constexpr const char* kGroupDropped = "گروه انتخاب شده حذف گرديد";
inline constexpr const char* kChooseEntryGroup = "ابتدا گروه مورد نظر جهت ورود اعضا را انتخاب نماييد";
inline constexpr const char* kEnterPhone = "لطفا شماره تلفن فرد مورد نظر را وارد نماييد";
inline constexpr const char* kMemberStored = "اطلاعات ثبت گرديد";
inline constexpr const char* kMembersCaption = "تعداد اعضا";
// Our own: the database file exists but cannot serve as the contact database.
inline constexpr const char* kDatabaseUnusable = "فايل اطلاعات قابل استفاده نمي باشد : ";

// Group name, 11 blanks, the caption, 2 blanks, the count.
inline std::string member_count_label(const std::string& group_name, long long count) {
  return group_name + std::string(11, ' ') + kMembersCaption + std::string(2, ' ') +
         std::to_string(count);
}

}  // namespace orvexa::data::text
