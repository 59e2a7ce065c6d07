-- Headless Ardour sessions for the scripts in tools/ardour, run through
-- ardour7-lua (try-in-ardour.lua, probe-ardour.lua). Loaded with dofile; returns
-- a table of functions. A script sets `prefix` to its own name first: every
-- failure prints one line "<prefix>: <message>" and exits with status 2.

local S = { prefix = "ardour" }

function S.fail (message)
	print (S.prefix .. ": " .. message)
	if Session then close_session () end
	os.exit (2)
end

-- key=value arguments as a table.
function S.options (args)
	local opt = {}
	for _, a in ipairs (args or {}) do
		local k, v = a:match ("^([%w_]+)=(.*)$")
		if k then opt[k] = v end
	end
	return opt
end

function S.number (opt, key)
	local v = tonumber (opt[key] or "")
	if not v then S.fail ("missing or bad " .. key .. "=") end
	return v
end

function S.wait (condition, seconds, what)
	for _ = 1, seconds * 100 do
		if condition () then return end
		ARDOUR.LuaAPI.usleep (10000)
	end
	S.fail ("timed out " .. what)
end

-- The "None (Dummy)" backend at `rate` with blocks of `block`. It runs ten times
-- faster than real time; Ardour's transport does the same either way, and a
-- roll takes a tenth of the wait.
function S.start_engine (rate, block)
	local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
	if not backend or backend:isnil () then S.fail ("Ardour has no \"None (Dummy)\" audio backend") end
	backend:set_driver ("10x Speed")
	backend:set_device_name ("Silence")
	backend:set_sample_rate (rate)
	backend:set_buffer_size (block)
	if AudioEngine:start (false) ~= 0 then S.fail ("the dummy audio engine does not start") end
end

-- A tempo map from a list of { beat = quarters, bpm = tempo, ramp = true }; the
-- first entry is at beat 0. An entry with ramp = true ramps to the next entry's
-- tempo: Ardour 7.3 computes a ramp only when it is switched on after both
-- points exist (a Tempo made with a different end tempo is stored as ramped but
-- plays its start tempo throughout).
function S.set_tempo_map (entries)
	local map = Temporal.TempoMap.fetch_writable ()
	local points = {}
	for i, e in ipairs (entries) do
		local at = Temporal.timepos_t.from_ticks (math.floor (e.beat * Temporal.ticks_per_beat + 0.5))
		points[i] = map:set_tempo (Temporal.Tempo (e.bpm, e.bpm, 4), at)
	end
	for i, e in ipairs (entries) do
		if e.ramp and entries[i + 1] and not map:set_ramped (points[i], true) then
			Temporal.TempoMap.abort_update ()
			S.fail ("Ardour would not ramp the tempo from beat " .. e.beat)
		end
	end
	Temporal.TempoMap.update (map)
end

-- The meter from the start: `divisions` per bar of `value` notes (3, 4 for 3/4).
function S.set_meter (divisions, value)
	local map = Temporal.TempoMap.fetch_writable ()
	map:set_meter (Temporal.Meter (divisions, value), Temporal.timepos_t (0))
	Temporal.TempoMap.update (map)
	if Temporal.TempoMap.read ():meter_at (Temporal.timepos_t (0)):divisions_per_bar () ~= divisions then
		S.fail ("the tempo map did not take the meter " .. divisions .. "/" .. value)
	end
end

-- A fresh session `name` in `dir` at `rate` and a constant `bpm` (checked).
function S.new_session (dir, name, rate, bpm)
	if not create_session (dir, name, rate) or not Session then S.fail ("cannot create a session in " .. dir) end
	S.set_tempo_map ({ { beat = 0, bpm = bpm } })
	local now = Temporal.TempoMap.read ():quarters_per_minute_at (Temporal.timepos_t (0))
	if math.abs (now - bpm) > 1e-6 then S.fail ("the tempo map did not take " .. bpm .. " BPM") end
end

-- An audio track with `inputs` inputs and two outputs.
function S.new_track (name, inputs)
	local list = Session:new_audio_track (inputs or 1, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
	if list:size () ~= 1 then S.fail ("cannot add the audio track " .. name) end
	return list:front ()
end

-- Puts the Lua processor `name` (a script in the configuration's scripts folder)
-- at `index` of the track's processors.
function S.add_luaproc (track, name, index)
	local proc = ARDOUR.LuaAPI.new_luaproc (Session, name)
	if proc:isnil () then S.fail ("the Lua processor \"" .. name .. "\" was not found") end
	if track:to_route ():add_processor_by_index (proc, index, nil, true) ~= 0 then S.fail ("cannot insert " .. name) end
	return proc
end

-- Puts the plug-in `name` of `kind` ("VST3" or "LV2") at `index`.
function S.add_plugin (track, name, kind, index)
	local proc = ARDOUR.LuaAPI.new_plugin (Session, name, ARDOUR.PluginType[kind or "VST3"], "")
	if proc:isnil () then
		local where = kind == "LV2" and (os.getenv ("LV2_PATH") or "?") or (os.getenv ("VST3_PATH") or "?")
		S.fail ("Ardour did not find the " .. (kind or "VST3") .. " plug-in \"" .. name .. "\" in " .. where)
	end
	if track:to_route ():add_processor_by_index (proc, index, nil, true) ~= 0 then S.fail ("cannot insert " .. name .. " on the track") end
	return proc
end

-- Ardour's own export (freewheel) of [start, start + length) with the export
-- preset `preset` into the empty folder `out`; returns the written file's path.
function S.export (preset, out, start, length)
	local export = Session:simple_export ()
	if not export:set_preset (preset) then S.fail ("Ardour does not know the export preset " .. preset) end
	export:set_folder (out)
	export:set_range (start, start + length)
	if not export:check_outputs () then S.fail ("the export has no outputs to write") end
	if not export:run_export () then S.fail ("the export failed") end

	local listing = io.popen ("ls -1 '" .. out .. "'")
	local file = listing:read ("l")
	listing:close ()
	if not file then S.fail ("the export wrote no file into " .. out) end
	return out .. "/" .. file
end

-- Saves and closes the session, then writes `locations` into the saved file, as
-- the editor would store them: Lua cannot make a range, a loop or a session
-- range itself. Each is { name =, start =, finish =, flags = }, positions in
-- samples at `rate` (stored in Ardour's superclock units), or with beats = true
-- in quarters (stored in Ardour's ticks, musical time). Load the session again
-- with load_session (dir, name) to use them.
function S.save_with_locations (dir, name, rate, locations)
	if Session:save_state ("", false, false, false, false, false) ~= 0 then S.fail ("cannot save the session") end
	close_session ()

	local path = dir .. "/" .. name .. ".ardour"
	local f = io.open (path, "rb")
	if not f then S.fail ("the saved session " .. path .. " is missing") end
	local text = f:read ("a")
	f:close ()

	local perSample = math.tointeger (282240000 / rate)
	if not perSample then S.fail ("cannot write a location at " .. rate .. " Hz") end
	local function position (l, v)
		if l.beats then return string.format ("b%d", math.floor (v * 1920 + 0.5)) end
		return string.format ("a%d", v * perSample)
	end
	local xml = ""
	for i, l in ipairs (locations) do
		xml = xml .. string.format ('<Location id="%d" name="%s" start="%s" end="%s" flags="%s" locked="0" timestamp="0" cue="0"/>',
		                            4000000000 + i, l.name, position (l, l.start), position (l, l.finish), l.flags)
	end
	local changed
	text, changed = text:gsub ("<Locations/>", "<Locations>" .. xml .. "</Locations>", 1)
	if changed == 0 then text, changed = text:gsub ("<Locations>", "<Locations>" .. xml, 1) end
	if changed == 0 then S.fail ("the saved session has no <Locations> to put the ranges into") end

	f = io.open (path, "wb")
	if not f or not f:write (text) then S.fail ("cannot write " .. path) end
	f:close ()
end

-- A 32-bit float WAV file: channel 1 as a table (x[1] is the first sample), the
-- number of frames, and every channel as a list of such tables.
function S.read_wav (path)
	local f = io.open (path, "rb")
	if not f then S.fail ("cannot open " .. path) end
	local d = f:read ("a")
	f:close ()

	if #d < 12 or d:sub (1, 4) ~= "RIFF" or d:sub (9, 12) ~= "WAVE" then S.fail (path .. " is no WAV file") end

	local pos, channels, bits, format = 13, nil, nil, nil
	while pos + 8 <= #d do
		local id, size = d:sub (pos, pos + 3), string.unpack ("<I4", d, pos + 4)
		if id == "fmt " then
			format, channels = string.unpack ("<I2I2", d, pos + 8)
			bits = string.unpack ("<I2", d, pos + 22)
		elseif id == "data" then
			if not channels or bits ~= 32 or not (format == 3 or format == 65534) then
				S.fail (path .. " is not a 32-bit float WAV file")
			end
			local frames = size // (4 * channels)
			local all = {}
			for c = 1, channels do all[c] = {} end
			local at = pos + 8
			for i = 1, frames do
				for c = 1, channels do
					all[c][i], at = string.unpack ("<f", d, at)
				end
			end
			return all[1], frames, all
		end
		pos = pos + 8 + size + (size % 2)
	end
	S.fail (path .. " has no audio data")
end

local function wav_header (rate, channels, frames)
	local bytes = frames * channels * 4
	return "RIFF" .. string.pack ("<I4", 4 + 24 + 8 + bytes) .. "WAVE"
	       .. "fmt " .. string.pack ("<I4I2I2I4I4I2I2", 16, 3, channels, rate, rate * channels * 4, channels * 4, 32)
	       .. "data" .. string.pack ("<I4", bytes)
end

-- Writes the table x (x[1] first) as a mono 32-bit float WAV file at `rate`.
function S.write_wav (path, rate, x)
	local f = io.open (path, "wb")
	if not f then S.fail ("cannot write " .. path) end
	local ok = f:write (wav_header (rate, 1, #x))
	for i = 1, #x, 4096 do
		ok = ok and f:write (string.pack ("<" .. string.rep ("f", math.min (4096, #x - i + 1)), table.unpack (x, i, math.min (#x, i + 4095))))
	end
	if not ok or not f:close () then S.fail ("cannot write " .. path) end
end

-- Writes a 32-bit float WAV file of `channels` channels and `frames` frames at
-- `rate`, every sample `value`.
function S.write_constant_wav (path, rate, channels, frames, value)
	local f = io.open (path, "wb")
	if not f then S.fail ("cannot write " .. path) end
	local ok = f:write (wav_header (rate, channels, frames))
	local chunk = string.rep (string.pack ("<f", value), 4096 * channels)
	local left = frames
	while ok and left > 0 do
		local now = math.min (left, 4096)
		ok = f:write (now == 4096 and chunk or chunk:sub (1, now * channels * 4))
		left = left - now
	end
	if not ok or not f:close () then S.fail ("cannot write " .. path) end
end

-- Locates to `from` (samples), plays the session's loop (from `from` to `to`)
-- until the transport has wrapped `passes` times or time runs out, and stops.
-- Returns how many times it wrapped.
function S.play_loop (from, to, passes, rate)
	Session:request_locate (from, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	S.wait (function () return Session:transport_sample () == from end, 20, "locating to the loop start")
	Session:request_play_loop (true, true)
	S.wait (function () return Session:transport_rolling () end, 20, "starting the loop")

	local wraps, last = 0, Session:transport_sample ()
	for _ = 1, (20 + passes * (to - from) / rate) * 200 do
		local now = Session:transport_sample ()
		if now < last then wraps = wraps + 1 end
		last = now
		if wraps >= passes then break end
		ARDOUR.LuaAPI.usleep (5000)
	end
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	S.wait (function () return not Session:transport_rolling () end, 20, "stopping")
	return wraps
end

-- The value that occurs most often in a list (the first such, in order), or nil.
function S.most_common (values)
	local count, best, bestCount = {}, nil, 0
	for _, v in ipairs (values) do
		count[v] = (count[v] or 0) + 1
		if count[v] > bestCount then best, bestCount = v, count[v] end
	end
	return best
end

return S
