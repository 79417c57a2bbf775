#include "app/pulse_sources.h"

#include <pulse/introspect.h>
#include <pulse/operation.h>

#include <algorithm>

#include "app/pulse_connection.h"

namespace sorv {

namespace {

constexpr std::chrono::milliseconds kConnectTimeout{1500};
constexpr std::chrono::milliseconds kListTimeout{1500};

struct Listing {
    std::vector<PulseSource> sources;
    std::string defaultSinkMonitor;
    bool sourcesDone = false;
    bool serverDone = false;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto* l = static_cast<Listing*>(user);
    if (eol != 0 || !info) {
        l->sourcesDone = true;
        return;
    }
    PulseSource s;
    s.name = info->name ? info->name : "";
    s.description = info->description && *info->description ? info->description : s.name;
    s.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    if (!s.name.empty()) l->sources.push_back(std::move(s));
}

void OnServer(pa_context*, const pa_server_info* info, void* user) {
    auto* l = static_cast<Listing*>(user);
    if (info && info->default_sink_name) l->defaultSinkMonitor = std::string(info->default_sink_name) + ".monitor";
    l->serverDone = true;
}

}  // namespace

std::vector<PulseSource> ListPulseSources() {
    PulseConnection server;
    if (!server.Connect(kConnectTimeout)) return {};
    Listing listing;
    pa_operation* sources = pa_context_get_source_info_list(server.Context(), OnSource, &listing);
    pa_operation* info = pa_context_get_server_info(server.Context(), OnServer, &listing);
    const bool done = server.RunUntil([&] { return listing.sourcesDone && listing.serverDone; }, kListTimeout);
    for (pa_operation* op : {sources, info}) {
        if (!op) continue;
        if (!done) pa_operation_cancel(op);
        pa_operation_unref(op);
    }
    if (!listing.sourcesDone) return {};
    // The default output's monitor is the one an SDR program on this machine plays into.
    // Inputs first, then that monitor, then the other monitors, each in the server's order.
    auto rank = [&](const PulseSource& s) { return !s.monitor ? 0 : s.name == listing.defaultSinkMonitor ? 1 : 2; };
    std::stable_sort(listing.sources.begin(), listing.sources.end(),
                     [&](const PulseSource& a, const PulseSource& b) { return rank(a) < rank(b); });
    return listing.sources;
}

}  // namespace sorv
