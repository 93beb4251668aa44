#include "themes/PostAnswer.hpp"

#include "support/Json.hpp"

#include <glib/gi18n.h>

namespace quillbay {

PostAnswer interpretPostAnswer(const HttpResponse& response)
{
    PostAnswer answer;
    auto document = response.transportOk ? parseJson(response.body) : std::nullopt;
    if (!document || !document->is_object()) {
        answer.message = _("The studio server did not answer.");
        return answer;
    }

    auto ok = document->find("ok");
    if (ok != document->end() && ok->is_boolean() && ok->get<bool>()) {
        answer.succeeded = true;
        auto installed = document->find("installed");
        if (installed != document->end()) {
            if (auto name = stringMember(*installed, "name"))
                answer.message = _("Installed ") + *name + ".";
        }
        return answer;
    }

    std::string reason = stringMember(*document, "error").value_or(_("unknown error"));
    answer.message = _("Not installed: ") + reason;
    answer.alertReason = std::move(reason);
    return answer;
}

} // namespace quillbay
