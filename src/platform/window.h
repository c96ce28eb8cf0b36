#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/geometry.h"

namespace platform {

// The main window as the engine and the window procedure see it. The window's own
// pixels are a Bitmap that the worker draws into directly; drawing raises a dirty
// flag that the front end takes to repaint. Only the first drawing after the flag was
// taken tells the front end (dirtied), so that it can sleep while nothing changes
// and is never called once per pixel.
class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    // The client area is the window's pixel surface: (0, 0, width, height).
    Rect clientRect() const noexcept { return Rect{0, 0, surface_.width(), surface_.height()}; }
    Bitmap& surface() noexcept { return surface_; }
    const Bitmap& surface() const noexcept { return surface_; }

    // Re-creates the pixel surface; only while no fractal object exists.
    void resizeSurface(int width, int height) { surface_.resize(width, height); }

    // Cheap enough for every pixel: a load, and more only when the flag was clear.
    void markDirty() noexcept {
        if (!dirty_.load(std::memory_order_relaxed) &&
            !dirty_.exchange(true, std::memory_order_acq_rel)) {
            dirtied();
        }
    }
    // Returns whether something was drawn since the last call, and clears the flag.
    bool takeDirty() noexcept { return dirty_.exchange(false, std::memory_order_acq_rel); }

    // Asks for a WM_PAINT of rect (the whole client area when null).
    virtual void invalidate(const Rect* rect, bool erase) = 0;
    // Shows the window's pixels now (the animated zoom calls it after every frame).
    virtual void flush() = 0;
    // Waits ms milliseconds on the user-interface thread while the window stays shown.
    virtual void pause(unsigned ms) = 0;
    // Replaces the title bar's text, and gives the title bar back to the window title.
    virtual void setTitleText(const std::string& text) = 0;
    virtual void restoreTitle() = 0;
    // A short note the window title carries after its name (empty: none), for example
    // how the picture is computed. A replaced title bar keeps its text until restored.
    virtual void setTitleNote(const std::string& note) = 0;
    // What the window shows, before the program's name (empty: the name alone).
    virtual void setTitleSubject(const std::string& subject) = 0;
    // Window timers by id; a running timer posts WM_TIMER with its id.
    virtual bool setTimer(unsigned id, unsigned periodMs) = 0;
    virtual void killTimer(unsigned id) = 0;
    // Queues a message for the window procedure.
    virtual void postMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Whether the user's input (a key, a click, a command) waits for the window
    // procedure. Long work on the user-interface thread, such as an animated zoom,
    // ends early when it does, so that the input is answered at once.
    virtual bool inputWaiting() const = 0;

  protected:
    // The flag was clear and something has been drawn: called from whichever thread
    // drew, once until the flag is taken again.
    virtual void dirtied() noexcept {}

  private:
    Bitmap surface_;
    std::atomic<bool> dirty_{false};
};

// The exclamation sound. It may be asked for from the worker thread.
class Sound {
  public:
    virtual ~Sound() = default;
    virtual void exclamation() = 0;
};

}  // namespace platform
