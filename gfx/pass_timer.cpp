// pass_timer.cpp: a ring of timestamp rows, one per frame in flight.
#include "gfx/pass_timer.h"

PassTimer::PassTimer(int passes)
    : passes_(passes)
    , queries_(static_cast<size_t>(kFramesInFlight * (passes + 1)))
    , pending_(kFramesInFlight, false)
    , totalMs_(static_cast<size_t>(passes), 0.0)
{
    glGenQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
}

PassTimer::~PassTimer() { glDeleteQueries(static_cast<GLsizei>(queries_.size()), queries_.data()); }

void PassTimer::mark()
{
    if (stamped_ >= passes_)
        return;
    const int slot = frame_ % kFramesInFlight;
    glQueryCounter(queries_[static_cast<size_t>(slot * (passes_ + 1) + stamped_)], GL_TIMESTAMP);
    ++stamped_;
}

void PassTimer::endFrame()
{
    const int slot = frame_ % kFramesInFlight;
    if (stamped_ == passes_) {
        glQueryCounter(queries_[static_cast<size_t>(slot * (passes_ + 1) + passes_)], GL_TIMESTAMP);
        pending_[slot] = true;
    }
    stamped_ = 0;
    ++frame_;
    // The row the next frame stamps over holds the oldest frame in flight,
    // which the GPU has had a few frames to finish.
    const int next = frame_ % kFramesInFlight;
    if (pending_[next])
        collect(next);
}

void PassTimer::collect(int slot)
{
    const GLuint* row = queries_.data() + slot * (passes_ + 1);
    pending_[slot] = false;
    GLint ready = 0;
    glGetQueryObjectiv(row[passes_], GL_QUERY_RESULT_AVAILABLE, &ready);
    if (!ready)
        return;
    std::vector<GLuint64> stamps(static_cast<size_t>(passes_ + 1));
    for (int i = 0; i <= passes_; ++i)
        glGetQueryObjectui64v(row[i], GL_QUERY_RESULT, &stamps[static_cast<size_t>(i)]);
    for (int i = 0; i < passes_; ++i)
        totalMs_[static_cast<size_t>(i)] += static_cast<double>(stamps[i + 1] - stamps[i]) * 1e-6;
    ++measured_;
}

std::vector<double> PassTimer::meanMs() const
{
    std::vector<double> mean(totalMs_.size(), 0.0);
    for (size_t i = 0; i < mean.size() && measured_ > 0; ++i)
        mean[i] = totalMs_[i] / measured_;
    return mean;
}
