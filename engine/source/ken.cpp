#include "ken.h"

#include <algorithm>

#include "engine/io/errors.h"
#include "engine/io/messages.h"

namespace kompa {

const std::string_view KenNames[kKenCount] = {
    "\x96\x6B\x8A\x43\x93\xB9",         // 0 北海道
    "\x90\xC2\x90\x58\x8C\xA7",         // 1 青森県
    "\x8A\xE2\x8E\xE8\x8C\xA7",         // 2 岩手県
    "\x8B\x7B\x8F\xE9\x8C\xA7",         // 3 宮城県
    "\x8F\x48\x93\x63\x8C\xA7",         // 4 秋田県
    "\x8E\x52\x8C\x60\x8C\xA7",         // 5 山形県
    "\x95\x9F\x93\x87\x8C\xA7",         // 6 福島県
    "\x88\xEF\x8F\xE9\x8C\xA7",         // 7 茨城県
    "\x93\xC8\x96\xD8\x8C\xA7",         // 8 栃木県
    "\x8C\x51\x94\x6E\x8C\xA7",         // 9 群馬県
    "\x8D\xE9\x8B\xCA\x8C\xA7",         // : 埼玉県
    "\x90\xE7\x97\x74\x8C\xA7",         // ; 千葉県
    "\x93\x8C\x8B\x9E\x93\x73",         // < 東京都
    "\x90\x5F\x93\xDE\x90\xEC\x8C\xA7", // = 神奈川県
    "\x90\x56\x8A\x83\x8C\xA7",         // > 新潟県
    "\x95\x78\x8E\x52\x8C\xA7",         // ? 富山県
    "\x90\xCE\x90\xEC\x8C\xA7",         // @ 石川県
    "\x95\x9F\x88\xE4\x8C\xA7",         // A 福井県
    "\x8E\x52\x97\x9C\x8C\xA7",         // B 山梨県
    "\x92\xB7\x96\xEC\x8C\xA7",         // C 長野県
    "\x8A\xF2\x95\x8C\x8C\xA7",         // D 岐阜県
    "\x90\xC3\x89\xAA\x8C\xA7",         // E 静岡県
    "\x88\xA4\x92\x6D\x8C\xA7",         // F 愛知県
    "\x8E\x4F\x8F\x64\x8C\xA7",         // G 三重県
    "\x8E\xA0\x89\xEA\x8C\xA7",         // H 滋賀県
    "\x8B\x9E\x93\x73\x95\x7B",         // I 京都府
    "\x91\xE5\x8D\xE3\x95\x7B",         // J 大阪府
    "\x95\xBA\x8C\xC9\x8C\xA7",         // K 兵庫県
    "\x93\xDE\x97\xC7\x8C\xA7",         // L 奈良県
    "\x98\x61\x89\xCC\x8E\x52\x8C\xA7", // M 和歌山県
    "\x92\xB9\x8E\xE6\x8C\xA7",         // N 鳥取県
    "\x93\x87\x8D\xAA\x8C\xA7",         // O 島根県
    "\x89\xAA\x8E\x52\x8C\xA7",         // P 岡山県
    "\x8D\x4C\x93\x87\x8C\xA7",         // Q 広島県
    "\x8E\x52\x8C\xFB\x8C\xA7",         // R 山口県
    "\x93\xBF\x93\x87\x8C\xA7",         // S 徳島県
    "\x8D\x81\x90\xEC\x8C\xA7",         // T 香川県
    "\x88\xA4\x95\x51\x8C\xA7",         // U 愛媛県
    "\x8D\x82\x92\x6D\x8C\xA7",         // V 高知県
    "\x95\x9F\x89\xAA\x8C\xA7",         // W 福岡県
    "\x8D\xB2\x89\xEA\x8C\xA7",         // X 佐賀県
    "\x92\xB7\x8D\xE8\x8C\xA7",         // Y 長崎県
    "\x8C\x46\x96\x7B\x8C\xA7",         // Z 熊本県
    "\x91\xE5\x95\xAA\x8C\xA7",         // [ 大分県
    "\x8B\x7B\x8D\xE8\x8C\xA7",         // \ 宮崎県
    "\x8E\xAD\x8E\x99\x93\x87\x8C\xA7", // ] 鹿児島県
    "\x89\xAB\x93\xEA\x8C\xA7",         // ^ 沖縄県
};

int KenCode(std::string_view name)
{
    // Every name is 6 or 8 bytes; testing the lead bytes first keeps the scan cheap.
    if (name.size() != 6 && name.size() != 8)
        return -1;
    for (int i = 0; i < kKenCount; ++i) {
        const std::string_view ken = KenNames[i];
        if (ken.size() == name.size() && ken[0] == name[0] && ken[1] == name[1] && ken == name)
            return kFirstKenChar + i;
    }
    return -1;
}

std::string_view KenName(unsigned char kenChar)
{
    if (kenChar < kFirstKenChar || kenChar > kLastKenChar)
        Raise(msg::kRangeCheckError);
    return KenNames[kenChar - kFirstKenChar];
}

std::string DeleteKen(std::string_view address)
{
    // The four names without 県; the rest are found by where their 県 lies.
    static constexpr std::string_view kNoKenSuffix[] = {
        "\x93\x8C\x8B\x9E\x93\x73", // 東京都
        "\x91\xE5\x8D\xE3\x95\x7B", // 大阪府
        "\x8B\x9E\x93\x73\x95\x7B", // 京都府
        "\x96\x6B\x8A\x43\x93\xB9", // 北海道
    };
    static constexpr std::string_view kKen = "\x8C\xA7"; // 県

    std::string_view head = address.substr(0, 6);
    if (std::find(std::begin(kNoKenSuffix), std::end(kNoKenSuffix), head) != std::end(kNoKenSuffix))
        return std::string(address.substr(6));

    // 県 at byte 7 at the latest: as far as a four-character name reaches.
    std::size_t at = address.find(kKen);
    if (at != std::string_view::npos && at <= 6)
        return std::string(address.substr(at + 2, 100));
    return std::string(address);
}

} // namespace kompa
