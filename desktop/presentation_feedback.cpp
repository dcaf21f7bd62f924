// Presentation feedback through the Wayland presentation-time protocol.
#include "desktop/presentation_feedback.h"

#include <SDL_syswm.h>
#include <poll.h>
#include <time.h>
#include <wayland-client.h>

#include <cstring>
#include <list>

#include "presentation-time-client-protocol.h"

namespace {

// Outcomes asked for but not yet told; a compositor that stops answering (a
// hidden window) must not make the list grow for the rest of the show.
constexpr size_t kMostPending = 256;

class WaylandFeedback final : public PresentationFeedback {
public:
    WaylandFeedback(wl_display* display, wl_surface* surface);
    ~WaylandFeedback() override;
    WaylandFeedback(const WaylandFeedback&) = delete;
    WaylandFeedback& operator=(const WaylandFeedback&) = delete;

    // True once the compositor offers presentation times on a clock we can read.
    bool bound() const
    {
        timespec now {};
        return presentation_ && clock_gettime(static_cast<clockid_t>(clockId_), &now) == 0;
    }
    void beforeSwap(uint64_t frame) override;
    void afterSwap(int64_t swapNs) override;
    void collect(std::vector<PresentedFrame>& outcomes) override;

private:
    struct Pending {
        WaylandFeedback* owner = nullptr;
        uint64_t frame = 0;
        int64_t swapNs = 0;
        struct wp_presentation_feedback* feedback = nullptr;
    };
    using PendingList = std::list<Pending>;

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void globalRemoved(void*, wl_registry*, uint32_t) { }
    static void clockId(void* data, wp_presentation*, uint32_t id);
    static void syncOutput(void*, struct wp_presentation_feedback*, wl_output*) { }
    static void presented(void* data, struct wp_presentation_feedback*, uint32_t secondsHigh, uint32_t secondsLow,
        uint32_t nanoseconds, uint32_t refresh, uint32_t, uint32_t, uint32_t);
    static void discarded(void* data, struct wp_presentation_feedback*);

    // A time of the compositor's clock as CLOCK_MONOTONIC. Compositors may
    // keep time on another clock (weston's software one is
    // CLOCK_MONOTONIC_RAW); the two are compared now, when the time has just
    // passed, so their drift apart (parts per million) does not count.
    int64_t monotonicFrom(int64_t ns) const;
    // Ends the wait for `pending`'s frame with `outcome`.
    void settle(const Pending& pending, const PresentedFrame& outcome);
    // Reads what the compositor has sent, without waiting, and dispatches our queue.
    void dispatchArrived();

    static constexpr wl_registry_listener kRegistryListener {global, globalRemoved};
    static constexpr wp_presentation_listener kPresentationListener {clockId};
    static constexpr wp_presentation_feedback_listener kFeedbackListener {syncOutput, presented, discarded};

    wl_display* display_;
    wl_surface* surface_;
    wl_event_queue* queue_ = nullptr;
    wl_display* displayOnQueue_ = nullptr;  // a wrapper whose new objects report to queue_
    wl_registry* registry_ = nullptr;
    wp_presentation* presentation_ = nullptr;
    uint32_t clockId_ = UINT32_MAX;
    PendingList pending_;
    uint64_t lastAsked_ = UINT64_MAX;
    std::vector<PresentedFrame> arrived_;
};

WaylandFeedback::WaylandFeedback(wl_display* display, wl_surface* surface)
    : display_(display)
    , surface_(surface)
{
    queue_ = wl_display_create_queue(display_);
    displayOnQueue_ = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
    if (!queue_ || !displayOnQueue_)
        return;
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(displayOnQueue_), queue_);
    registry_ = wl_display_get_registry(displayOnQueue_);
    if (!registry_)
        return;
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The first round trip binds the global, the second brings its clock.
    if (wl_display_roundtrip_queue(display_, queue_) < 0 || !presentation_)
        return;
    wl_display_roundtrip_queue(display_, queue_);
}

WaylandFeedback::~WaylandFeedback()
{
    for (Pending& pending : pending_)
        wp_presentation_feedback_destroy(pending.feedback);
    if (presentation_)
        wp_presentation_destroy(presentation_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (displayOnQueue_)
        wl_proxy_wrapper_destroy(displayOnQueue_);
    if (queue_)
        wl_event_queue_destroy(queue_);
}

void WaylandFeedback::global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* self = static_cast<WaylandFeedback*>(data);
    if (self->presentation_ || std::strcmp(interface, wp_presentation_interface.name) != 0)
        return;
    self->presentation_ = static_cast<wp_presentation*>(wl_registry_bind(registry, name, &wp_presentation_interface, 1));
    if (self->presentation_)
        wp_presentation_add_listener(self->presentation_, &kPresentationListener, self);
}

void WaylandFeedback::clockId(void* data, wp_presentation*, uint32_t id) { static_cast<WaylandFeedback*>(data)->clockId_ = id; }

void WaylandFeedback::presented(void* data, struct wp_presentation_feedback*, uint32_t secondsHigh, uint32_t secondsLow,
    uint32_t nanoseconds, uint32_t refresh, uint32_t, uint32_t, uint32_t)
{
    const auto* pending = static_cast<const Pending*>(data);
    const int64_t seconds = static_cast<int64_t>((static_cast<uint64_t>(secondsHigh) << 32) | secondsLow);
    const int64_t seenNs = pending->owner->monotonicFrom(seconds * 1000000000 + nanoseconds);
    pending->owner->settle(*pending, {pending->frame, pending->swapNs, seenNs, refresh});
}

void WaylandFeedback::discarded(void* data, struct wp_presentation_feedback*)
{
    const auto* pending = static_cast<const Pending*>(data);
    pending->owner->settle(*pending, {pending->frame, pending->swapNs, 0, 0});
}

int64_t WaylandFeedback::monotonicFrom(int64_t ns) const
{
    if (clockId_ == CLOCK_MONOTONIC)
        return ns;
    timespec theirs {}, ours {};
    clock_gettime(static_cast<clockid_t>(clockId_), &theirs);
    clock_gettime(CLOCK_MONOTONIC, &ours);
    const auto nsOf = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return ns + nsOf(ours) - nsOf(theirs);
}

void WaylandFeedback::settle(const Pending& pending, const PresentedFrame& outcome)
{
    arrived_.push_back(outcome);
    wp_presentation_feedback_destroy(pending.feedback);
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (&*it == &pending) {
            pending_.erase(it);
            return;
        }
    }
}

void WaylandFeedback::beforeSwap(uint64_t frame)
{
    if (pending_.size() >= kMostPending) {
        wp_presentation_feedback_destroy(pending_.front().feedback);
        pending_.pop_front();
    }
    lastAsked_ = frame;
    struct wp_presentation_feedback* feedback = wp_presentation_feedback(presentation_, surface_);
    if (!feedback)
        return;
    Pending& pending = pending_.emplace_back(Pending {this, frame, 0, feedback});
    wp_presentation_feedback_add_listener(feedback, &kFeedbackListener, &pending);
}

void WaylandFeedback::afterSwap(int64_t swapNs)
{
    // Only the frame just asked about: a request the library refused left none.
    if (!pending_.empty() && pending_.back().frame == lastAsked_)
        pending_.back().swapNs = swapNs;
}

void WaylandFeedback::dispatchArrived()
{
    // Events already read (by SDL's pump or the swap) wait in our queue; what
    // is still in the socket is read only if it is there now.
    while (wl_display_prepare_read_queue(display_, queue_) != 0) {
        if (wl_display_dispatch_queue_pending(display_, queue_) < 0)
            return;
    }
    wl_display_flush(display_);
    pollfd socket {wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&socket, 1, 0) > 0)
        wl_display_read_events(display_);
    else
        wl_display_cancel_read(display_);
    wl_display_dispatch_queue_pending(display_, queue_);
}

void WaylandFeedback::collect(std::vector<PresentedFrame>& outcomes)
{
    dispatchArrived();
    outcomes.insert(outcomes.end(), arrived_.begin(), arrived_.end());
    arrived_.clear();
}

}  // namespace

std::unique_ptr<PresentationFeedback> PresentationFeedback::forWindow(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return nullptr;
    auto feedback = std::make_unique<WaylandFeedback>(info.info.wl.display, info.info.wl.surface);
    if (!feedback->bound())
        return nullptr;
    return feedback;
}
