#include "launcher.h"

#include <cstdio>

LaunchSettings defaultLaunchSettings() {
    LaunchSettings s;
    s.width = 640;
    s.height = 400;
    s.bitsPerPixel = 32;
    s.windowed = 1;
    s.optionA = 1;
    s.optionB = 0;
    s.windowedOption = 0;
    s.instance = nullptr;
    return s;
}

int32_t bitsPerPixelOf(int redBits, int greenBits, int blueBits) {
    if (redBits == 8 && greenBits == 8 && blueBits == 8) return 32;
    return redBits + greenBits + blueBits;
}

LauncherState::LauncherState(const LaunchSettings& settings,
                             const std::vector<DisplayMode>& modes)
    : m_selected(-1), m_fullscreen(settings.windowed == 0) {
    for (const DisplayMode& mode : modes) {
        if (m_sizes.size() >= kMaxSizes) break;
        if (mode.bitsPerPixel != settings.bitsPerPixel) continue;
        // Modes that differ only in refresh rate come one after another;
        // only the entry listed last is compared.
        if (!m_sizes.empty() && m_sizes.back().width == mode.width &&
            m_sizes.back().height == mode.height)
            continue;
        m_sizes.push_back({mode.width, mode.height});
    }
    for (size_t i = 0; i < m_sizes.size(); ++i)
        if (m_sizes[i].width == settings.width && m_sizes[i].height == settings.height)
            m_selected = int(i);
}

std::string LauncherState::itemText(size_t index) const {
    char text[64];
    std::snprintf(text, sizeof(text), "%d * %d", int(m_sizes.at(index).width),
                  int(m_sizes.at(index).height));
    return text;
}

void LauncherState::select(int index) {
    m_selected = (index >= 0 && size_t(index) < m_sizes.size()) ? index : -1;
}

void LauncherState::confirm(LaunchSettings* settings) const {
    // With no item selected there is no size to take; the record keeps the
    // size it came with, which the demo can run at.
    if (m_selected >= 0) {
        settings->width = m_sizes[size_t(m_selected)].width;
        settings->height = m_sizes[size_t(m_selected)].height;
    }
    settings->windowed = m_fullscreen ? 0 : 1;
    settings->windowedOption = 0;
    settings->optionA = 0;
    settings->optionB = 0;
}
