#include "platform/media/media_command.h"

#include <array>
#include <utility>

namespace sorabune {
namespace {

constexpr std::string_view openPrefix = "open \"";
constexpr std::string_view aliasSeparator = "\" alias ";

bool isAliasName(std::string_view name)
{
    return !name.empty() && name.find_first_of(" \t\n\v\f\r") == std::string_view::npos;
}

} // namespace

std::optional<MediaCommand> parseMediaCommand(std::string_view text)
{
    if (text.starts_with(openPrefix)) {
        const std::string_view rest = text.substr(openPrefix.size());
        const std::size_t separator = rest.rfind(aliasSeparator);
        if (separator == std::string_view::npos)
            return std::nullopt;
        const std::string_view alias = rest.substr(separator + aliasSeparator.size());
        if (!isAliasName(alias))
            return std::nullopt;
        return MediaCommand{MediaCommand::Verb::Open, alias, rest.substr(0, separator)};
    }

    static constexpr std::array<std::pair<std::string_view, MediaCommand::Verb>, 3> aliasVerbs{{
        {"play ", MediaCommand::Verb::Play},
        {"stop ", MediaCommand::Verb::Stop},
        {"close ", MediaCommand::Verb::Close},
    }};
    for (const auto &[word, verb] : aliasVerbs) {
        if (!text.starts_with(word))
            continue;
        const std::string_view alias = text.substr(word.size());
        if (!isAliasName(alias))
            return std::nullopt;
        return MediaCommand{verb, alias, {}};
    }
    return std::nullopt;
}

} // namespace sorabune
