-- Run by tools/ardour/try-in-ardour through ardour7-lua (Ardour's headless Lua
-- interpreter); see that script for what it is for. Arguments are key=value.
--
--   task=session  makes a fresh session with the "None (Dummy)" backend, puts the
--                 constant level and Brakkle on an audio track, sets Brakkle's
--                 parameters and captures its output from `start` for `length`
--                 samples, by
--                   via=export  Ardour's own export (freewheel; a locate to start, then roll)
--                   via=record  a real roll from a locate, recorded on a second track
--                   via=cli     only saves the session with its range set, for ardour7-export
--                   via=loop    a roll with loop play on from beat `loopfrom` to beat
--                               `loopto` for `passes` passes, taken from behind Brakkle
--                               by a tap (tap.lua); no `start` or `length`
--                 then (export, record) prints where the slices start, or (loop)
--                 where they start in every pass.
--   task=analyse  prints where the slices start in the WAV file `wav`, whose first
--                 sample is at timeline position `start`.
--   task=level    writes the WAV file `wav`: `length` samples of the constant
--                 level that level.lua feeds, for brakkle-render.
--   task=compare  compares Ardour's file `wav` with brakkle-render's file `render`,
--                 sample for sample, both starting at the timeline position `start`.
--   task=preset   writes an LV2 preset bundle into `dir` that holds this case's
--                 parameters, the plug-in's own state (format=lv2 lv2=preset).
--
-- Parameters: stutter=, refresh= (note division names), gridlock=on|off, and
-- params="id=value;id=value" in Brakkle's own units or named steps, read
-- against parameters= (a file of brakkle-render --list-parameters);
-- lanes="id=value@beat;..." steps a parameter to a value at a song position;
-- format=vst3|lv2 says which plug-in a session uses; lv2=preset makes the LV2
-- sessions load the preset task=preset wrote instead of setting Ardour's
-- controls (and draw no lanes).
--
-- Every failure prints one line starting with "try-in-ardour:" and exits with 2;
-- a complete case ends with the line "try-in-ardour: case done".

io.stdout:setvbuf ("no")

-- The session helpers shared with probe-ardour.lua, from this script's folder.
local S = dofile ((debug.getinfo (1, "S").source:match ("^@(.*/)") or "./") .. "session.lua")
S.prefix = "try-in-ardour"

local opt = S.options (arg)
local fail = S.fail
local function number (key) return S.number (opt, key) end

-- Brakkle's parameters as `brakkle-render --list-parameters` lists them from the
-- plug-in's own table (the file `parameters`), by ID: the name hosts show, the
-- range in the plug-in's own units, the step, the default and the named steps
-- (a switch's "Off|On", the note divisions' names), lowest first.
local parameters

local function readParameters (path)
	local f = io.open (path or "", "r")
	if not f then fail ("cannot read the parameter list \"" .. tostring (path) .. "\" (brakkle-render --list-parameters writes it)") end
	local byId, count = {}, 0
	for line in f:lines () do
		if line ~= "" and line:sub (1, 1) ~= "#" then
			local fields = {}
			for field in (line .. "\t"):gmatch ("([^\t]*)\t") do fields[#fields + 1] = field end
			local low, high, step = tonumber (fields[3]), tonumber (fields[4]), tonumber (fields[5])
			if #fields ~= 7 or not (low and high and step and high > low) then fail ("the parameter list has a line I cannot read: " .. line) end
			local steps = {}
			for name in fields[7]:gmatch ("[^|]+") do steps[#steps + 1] = name end
			byId[fields[1]] = { name = fields[2], low = low, high = high, step = step, default = tonumber (fields[6]), steps = steps }
			count = count + 1
		end
	end
	f:close ()
	if count == 0 then fail ("the parameter list " .. path .. " lists no parameter") end
	return byId
end

-- A value in a parameter's own units from a number or one of its named steps
-- (any case; a switch also takes true and false), or nil.
local function ownValue (p, text)
	local v = tonumber (text)
	if v then return v end
	local wanted = ({ ["true"] = "on", ["false"] = "off" })[text:lower ()] or text:lower ()
	for k, name in ipairs (p.steps) do
		if name:lower () == wanted then return p.low + (k - 1) * p.step end
	end
end

-- "id=value" as its name, normalised value, id and value in the plug-in's own
-- units (a note division's index, a switch's 0 or 1), as a saved state holds
-- it. Ardour sets a VST3 parameter by its normalised value: every range is linear.
local function parameterSetting (text)
	local id, value = text:match ("^%s*([%w]+)%s*=%s*(.-)%s*$")
	if not id then fail ("a parameter setting takes id=value, not \"" .. text .. "\"") end
	local p = parameters[id]
	if not p then
		local ids = {}
		for k in pairs (parameters) do ids[#ids + 1] = k end
		table.sort (ids)
		fail ("unknown parameter \"" .. id .. "\" (known: " .. table.concat (ids, ", ") .. ")")
	end
	local v = ownValue (p, value)
	if not v then
		fail ("value of " .. id .. " is not a number" .. (#p.steps > 0 and (" nor one of " .. table.concat (p.steps, ", ")) or "") .. ": \"" .. value .. "\"")
	end
	if v < p.low or v > p.high then fail ("value of " .. id .. " is out of range: " .. value .. " (the range is " .. p.low .. " to " .. p.high .. ")") end
	return p.name, (v - p.low) / (p.high - p.low), id, v
end

----------------------------------------------------------------------------------
-- Brakkle's settings as an LV2 preset (lv2=preset), the second way to set the
-- LV2 plug-in: not through Ardour's controls but as the plug-in's own state, as
-- its window leaves it. A preset restores that state: the string JUCE's LV2
-- client keeps it in, the plug-in's own saved state (JUCE's binary wrapping of
-- its XML) in JUCE's base64. Parameters the state leaves out open at their
-- defaults.

local function juceBase64 (bytes)
	local alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+"
	local out = { tostring (#bytes), "." }
	local bits = #bytes * 8
	for start = 0, bits - 1, 6 do
		-- six bits from `start` on, lowest bit first, as JUCE's getBitRange reads them
		local value, got = 0, 0
		local bit = start
		while got < 6 and bit < bits do
			local byte = bytes:byte (bit // 8 + 1)
			value = value | (((byte >> (bit % 8)) & 1) << got)
			got, bit = got + 1, bit + 1
		end
		out[#out + 1] = alphabet:sub (value + 1, value + 1)
	end
	return table.concat (out)
end

-- Writes the preset "brakkle-check" into the folder `dir`: `values` is a list of
-- { id =, value = in the plug-in's own units }; a later value for an id replaces
-- an earlier one, as a later setting does in the VST3 plug-in.
local function writePreset (dir, values)
	local order, byId = {}, {}
	for _, v in ipairs (values) do
		if byId[v.id] == nil then order[#order + 1] = v.id end
		byId[v.id] = v.value
	end
	local params = {}
	for _, id in ipairs (order) do
		params[#params + 1] = string.format ('<PARAM id="%s" value="%.9g"/>', id, byId[id])
	end
	local xml = "<PARAMETERS>" .. table.concat (params) .. "</PARAMETERS>"
	local state = string.pack ("<I4I4", 0x21324356, #xml) .. xml .. "\0"

	os.execute ("mkdir -p '" .. dir .. "'")
	local f = io.open (dir .. "/manifest.ttl", "wb")
	if not f then fail ("cannot write the preset into " .. dir) end
	f:write ("@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
	         .. "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
	         .. "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
	         .. "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n\n"
	         .. "<urn:brakkle-check:settings>\n"
	         .. "\ta pset:Preset ;\n"
	         .. "\tlv2:appliesTo <urn:halvorn:brakkle> ;\n"
	         .. "\trdfs:label \"brakkle-check\" ;\n"
	         .. "\tstate:state [\n"
	         .. "\t\t<urn:halvorn:brakkle:StateString> \"" .. juceBase64 (state) .. "\"\n"
	         .. "\t] .\n")
	f:close ()
end

----------------------------------------------------------------------------------
-- Where the slices start

-- With a constant input every slice edge is an output sample of exactly 0: the
-- fade-in starts there. Consecutive edges are one slice length apart, except
-- where a fresh slice is recorded: the last repeat before it is cut short, so
-- the edge of a new slice comes sooner. x holds channel 1, x[1] at timeline `first`.
local function analyse (x, n, first, samplesPerBeat)
	print (string.format ("  captured %d samples from %d (beat %.3f)", n, first, first / samplesPerBeat))

	-- A slice edge is a lone 0 (or two or three close together where a repeat
	-- is cut short); a longer run of zeros is silence, not an edge.
	local edges, i = {}, 1
	while i <= n do
		if x[i] == 0 then
			local j = i
			while j < n and x[j + 1] == 0 do j = j + 1 end
			if j - i + 1 <= 4 then
				for k = i, j do edges[#edges + 1] = first + k - 1 end
			else
				print (string.format ("  silence: %d samples from %d", j - i + 1, first + i - 1))
			end
			i = j + 1
		else
			i = i + 1
		end
	end

	if #edges < 3 then
		print ("  slice edges: " .. #edges .. " (the output hardly touches 0: Brakkle did not slice here)")
		return
	end

	local mostCommon = S.most_common

	local gaps = {}
	for k = 2, #edges do gaps[#gaps + 1] = edges[k] - edges[k - 1] end
	local sliceLength = mostCommon (gaps)

	local starts = {}
	for k = 2, #edges do
		local gap = edges[k] - edges[k - 1]
		local nextGap = edges[k + 1] and edges[k + 1] - edges[k] or math.huge
		if gap < sliceLength and nextGap >= sliceLength then starts[#starts + 1] = edges[k] end
	end

	print (string.format ("  slice edges: %d, first at %d; slice length %d samples", #edges, edges[1], sliceLength))

	if #starts == 0 then
		print ("  no new slice told apart from the repeats: with a constant input, a slice that fits the refresh period exactly leaves no sign of a fresh one")
		return
	end

	local cycles = {}
	for k = 2, #starts do cycles[#cycles + 1] = starts[k] - starts[k - 1] end
	local cycle = mostCommon (cycles)

	-- The first edge starts a slice of its own when it lies a whole number of
	-- cycles before the first one found; otherwise the cycle it belongs to
	-- began before the capture (where it began is inferred).
	if cycle and (starts[1] - edges[1]) % cycle == 0 and edges[1] < starts[1] then
		table.insert (starts, 1, edges[1])
	elseif cycle then
		local before = starts[1] - cycle
		if before < edges[1] then
			print (string.format ("  the cycle running at the start began at %d (inferred: %d before the first new slice found)",
			                      before, starts[1] - before))
		end
	end

	print (string.format ("  new slices: %d, %s apart", #starts, cycle and (cycle .. " samples") or "?"))

	local offsets, order = {}, {}
	for k, s in ipairs (starts) do
		local beat = math.floor (s / samplesPerBeat + 0.5)
		local offset = s - beat * samplesPerBeat
		if k <= 6 then
			print (string.format ("    new slice at %8d = beat %3d %+9.1f samples (%+.2f ms)", s, beat, offset, offset * 1000 / number ("rate")))
		end
		local key = string.format ("%+.1f", offset)
		if not offsets[key] then offsets[key] = 0; order[#order + 1] = key end
		offsets[key] = offsets[key] + 1
	end

	local summary = {}
	for _, key in ipairs (order) do summary[#summary + 1] = key .. " (x" .. offsets[key] .. ")" end
	print ("  RESULT new slice starts relative to the nearest beat, in samples: " .. table.concat (summary, ", "))
end

local readWav = S.read_wav

-- "key (xN), ..." for a list of keys, in the order they first come.
local function tally (keys)
	local count, order = {}, {}
	for _, k in ipairs (keys) do
		if not count[k] then count[k] = 0; order[#order + 1] = k end
		count[k] = count[k] + 1
	end
	local out = {}
	for _, k in ipairs (order) do out[#out + 1] = k .. " (x" .. count[k] .. ")" end
	return table.concat (out, ", ")
end

-- The slice edges of x[1..n] as indices into x: lone zeros, or up to four close
-- together (as analyse () takes them); longer runs of zeros as { from, count }.
local function findEdges (x, n)
	local edges, silences, i = {}, {}, 1
	while i <= n do
		if x[i] == 0 then
			local j = i
			while j < n and x[j + 1] == 0 do j = j + 1 end
			if j - i + 1 <= 4 then
				for k = i, j do edges[#edges + 1] = k end
			else
				silences[#silences + 1] = { from = i, count = j - i + 1 }
			end
			i = j + 1
		else
			i = i + 1
		end
	end
	return edges, silences
end

local mostCommonOf = S.most_common

----------------------------------------------------------------------------------
-- Ardour's output against brakkle-render's

-- Both files start at timeline position `start`. Every channel of Ardour's file
-- is compared with the render's channel of the same number, or with its last
-- one (a mono render against Brakkle's stereo output on a mono track).
local function compare (via, ardourPath, renderPath, start, samplesPerBeat)
	local _, na, ardour = readWav (ardourPath)
	local _, nb, render = readWav (renderPath)
	print (string.format ("  compared: Ardour's %d channels, %d samples, against the render's %d channel%s, %d samples, both from timeline sample %d",
	                      #ardour, na, #render, #render == 1 and "" or "s", nb, start))
	local n = math.min (na, nb)

	local worst, first, firstChannel, differing = 0, nil, nil, 0
	for c = 1, #ardour do
		local x, y = ardour[c], render[math.min (c, #render)]
		for i = 1, n do
			local d = math.abs (x[i] - y[i])
			if d > 0 then
				differing = differing + 1
				if d > worst then worst = d end
				if not first or i < first then first, firstChannel = i, c end
			end
		end
	end

	local where = "none"
	if first then
		local at = start + first - 1
		where = string.format ("at sample %d (timeline %d, beat %.4f), channel %d: Ardour %.9g, render %.9g",
		                       first - 1, at, at / samplesPerBeat, firstChannel - 1,
		                       ardour[firstChannel][first], render[math.min (firstChannel, #render)][first])
	end
	print (string.format ("  COMPARE via %s: %d samples, max |diff| %.9g, first difference %s", via, n, worst, where))
	if not first then return end

	-- What differs: the samples around the first difference, and where the
	-- slice edges of one lie against the other's.
	print (string.format ("  %d of %d samples differ (all channels)", differing, n * #ardour))
	local x, y = ardour[firstChannel], render[math.min (firstChannel, #render)]
	for i = math.max (1, first - 4), math.min (n, first + 4) do
		print (string.format ("    sample %7d: Ardour %.9g, render %.9g%s", i - 1, x[i], y[i], x[i] ~= y[i] and "  <-" or ""))
	end
	local ea, eb = findEdges (ardour[1], n), findEdges (render[1], n)
	local offsets, j = {}, 1
	for _, e in ipairs (ea) do
		while eb[j + 1] and math.abs (eb[j + 1] - e) <= math.abs (eb[j] - e) do j = j + 1 end
		if eb[j] then offsets[#offsets + 1] = string.format ("%+d", e - eb[j]) end
	end
	print (string.format ("  slice edges: Ardour %d, render %d; Ardour's against the render's nearest, in samples: %s",
	                      #ea, #eb, #offsets > 0 and tally (offsets) or "-"))
end

----------------------------------------------------------------------------------
-- Where the slices start in every pass of a loop

-- x[i] is channel 1 of the output, where[i] its timeline position, passes a
-- list of { first = i, last = j } (the last pass, cut by the stop, is left
-- out). A new slice is told apart from a repeat as analyse () does: the repeat
-- before it is cut short. A slice that takes over from the passing input or
-- from a running repeat with a crossfade (the roll's start, a wrap that is no
-- line) shows no edge where it begins: when a pass has no edge on its first
-- sample, the repeat before it was cut short (or the roll starts there) and the
-- pass's first edge lies one slice later, that slice began on the pass's first
-- sample ("inferred").
local function analyseLoop (x, where, passes, samplesPerBeat, loopFrom)
	local n = #x
	local edges, silences = findEdges (x, n)
	local function passOf (i)
		for p, pass in ipairs (passes) do
			if i >= pass.first and i <= pass.last then return p end
		end
	end
	for _, s in ipairs (silences) do
		print (string.format ("  silence: %d samples from %d (pass %s)", s.count, where[s.from], tostring (passOf (s.from) or "-")))
	end

	local gaps = {}
	for k = 2, #edges do gaps[#gaps + 1] = edges[k] - edges[k - 1] end
	local sliceLength = mostCommonOf (gaps) or math.huge
	local isStart = {}
	if edges[1] == 1 then isStart[1] = true end
	for k = 2, #edges do
		local gap = edges[k] - edges[k - 1]
		local nextGap = edges[k + 1] and edges[k + 1] - edges[k] or math.huge
		-- one sample of slack: a slice of a fractional length is rounded either way
		if gap < sliceLength - 1 and nextGap >= sliceLength - 1 then isStart[k] = true end
	end
	print (string.format ("  slice edges: %d in %d passes; slice length %s samples", #edges, #passes,
	                      sliceLength < math.huge and tostring (sliceLength) or "?"))

	-- Passes whose first sample starts a slice without an edge.
	local inferred = {}
	for p, pass in ipairs (passes) do
		local before, after
		for _, e in ipairs (edges) do
			if e < pass.first then before = e elseif not after then after = e end
		end
		if after and after ~= pass.first and math.abs (after - pass.first - sliceLength) <= 1
		   and (not before or pass.first - before < sliceLength - 1) then
			inferred[p] = true
		end
	end

	local startOnLoop = 0
	for p, pass in ipairs (passes) do
		local startOffsets, passGaps, count, firstEdge, onLoopStart = {}, {}, 0, nil, false
		local function newSlice (t)
			local beat = math.floor (t / samplesPerBeat + 0.5)
			startOffsets[#startOffsets + 1] = string.format ("%+.1f", t - beat * samplesPerBeat)
			if t == loopFrom then onLoopStart = true end
		end
		if inferred[p] then newSlice (where[pass.first]) end
		for k, e in ipairs (edges) do
			if e >= pass.first and e <= pass.last then
				count = count + 1
				firstEdge = firstEdge or e
				if edges[k + 1] then passGaps[#passGaps + 1] = tostring (edges[k + 1] - e) end
				if isStart[k] then newSlice (where[e]) end
			end
		end
		if onLoopStart then startOnLoop = startOnLoop + 1 end
		print (string.format ("  pass %d: samples %d to %d (beats %.3f to %.3f), %d slice edges%s%s", p, where[pass.first], where[pass.last],
		                      where[pass.first] / samplesPerBeat, (where[pass.last] + 1) / samplesPerBeat, count,
		                      count > 0 and string.format (", the first at +%d; gaps to the next edge: %s", firstEdge - pass.first, tally (passGaps)) or "",
		                      inferred[p] and "; a slice began on its first sample without an edge (inferred)" or ""))
		print (string.format ("  RESULT pass %d: new slice starts relative to the nearest beat, in samples: %s", p,
		                      #startOffsets > 0 and tally (startOffsets) or (count > 0 and "none told apart from the repeats" or "none (no slice edge)")))
	end
	print (string.format ("  passes with a new slice on the loop start: %d of %d", startOnLoop, #passes))
end

----------------------------------------------------------------------------------

local rate = number ("rate")
local samplesPerBeat = 60 * rate / number ("bpm")

if opt.task == "analyse" then
	local x, n = readWav (opt.wav)
	analyse (x, n, number ("start"), samplesPerBeat)
	print ("try-in-ardour: case done")
	os.exit (0)
end

if opt.task == "level" then
	-- level.lua's constant, as a mono file
	S.write_constant_wav (opt.wav, rate, 1, number ("length"), 0.5)
	print ("try-in-ardour: case done")
	os.exit (0)
end

if opt.task == "compare" then
	compare (opt.via, opt.wav, opt.render, number ("start"), samplesPerBeat)
	print ("try-in-ardour: case done")
	os.exit (0)
end

if opt.task ~= "session" and opt.task ~= "preset" then fail ("task=session, analyse, level, compare or preset") end

parameters = readParameters (opt.parameters)

-- Every parameter this case sets, in order: the divisions, Grid Lock when
-- asked for, then each of params; as { name =, normalised =, id =, value = in
-- the plug-in's own units }.
local settings = {}
local function addSetting (text)
	local name, normalised, id, value = parameterSetting (text)
	settings[#settings + 1] = { name = name, normalised = normalised, id = id, value = value }
end
for _, text in ipairs ({ "stutterSync=on", "refreshSync=on", "stutterTimeBpm=" .. opt.stutter, "refreshTimeBpm=" .. opt.refresh }) do
	addSetting (text)
end
if opt.gridlock == "on" or opt.gridlock == "off" then addSetting ("gridLock=" .. opt.gridlock) end
for text in (opt.params or ""):gmatch ("[^;]+") do addSetting (text) end

if opt.task == "preset" then
	if not opt.dir or opt.dir == "" then fail ("task=preset needs dir=") end
	writePreset (opt.dir, settings)
	print ("try-in-ardour: case done")
	os.exit (0)
end

local lv2 = opt.format == "lv2"
local via = opt.via
if via ~= "export" and via ~= "record" and via ~= "cli" and via ~= "loop" then fail ("via= must be export, record, cli or loop") end
local start, length
if via ~= "loop" then start, length = number ("start"), number ("length") end

-- The lanes: "id=value@beat;...", each a step to the value at that song
-- position (quarter notes), in the order given; as { setting, at = sample }.
local lanes = {}
for text in (opt.lanes or ""):gmatch ("[^;]+") do
	local change, beat = text:match ("^(.-)@([%d.]+)$")
	if not change or not tonumber (beat) then fail ("a lane takes id=value@beat, not \"" .. text .. "\"") end
	local name, normalised, id, value = parameterSetting (change)
	lanes[#lanes + 1] = { name = name, normalised = normalised, id = id, value = value,
	                      at = math.floor (tonumber (beat) * samplesPerBeat + 0.5) }
end

-- How the LV2 plug-in gets its settings: through Ardour's controls (as a user
-- setting them in Ardour's generic controls), or with lv2=preset from the
-- preset "brakkle-check", which restores the plug-in's own state.
local lv2ByPreset = lv2 and opt.lv2 == "preset"

-- Brakkle's controls in Ardour by parameter ID: { control = an
-- ARDOUR:AutomationControl, value = function of a setting, the value the
-- control takes }. VST3: the plug-in's parameters, found by the names hosts
-- show, normalised. LV2: Ardour makes every parameter the plug-in lists as
-- writable (patch:writable) a control of its own, named "property-" and the
-- parameter's URI, in the plug-in's own units (the plug-in's parameter_count ()
-- counts only its ports).
local function controlsOf (proc)
	local controls = {}
	local automatable = proc:to_automatable ()
	if lv2 then
		for p in automatable:all_automatable_params ():iter () do
			local control = automatable:automation_control (p, false)
			local id = not control:isnil () and control:name ():match ("^property%-urn:halvorn:brakkle:(%w+)$")
			if id then controls[id] = { control = control, value = function (s) return s.value end } end
		end
		return controls
	end
	local plugin = proc:to_insert ():plugin (0)
	local index = {}
	for i = 0, plugin:parameter_count () - 1 do index[plugin:parameter_label (i)] = i end
	for id, p in pairs (parameters) do
		if index[p.name] then
			local control = automatable:automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, index[p.name]), false)
			if control:isnil () then fail ("Ardour gives no control for \"" .. p.name .. "\"") end
			controls[id] = { control = control, value = function (s) return s.normalised end }
		end
	end
	return controls
end

-- Sets the settings on the plug-in insert `proc` through its controls (or with
-- check = true only reads them back, as in a session loaded again) and says
-- whether Grid Lock is on. With lv2=preset the LV2 plug-in gets them from the
-- preset "brakkle-check" instead, and Ardour's controls do not show them: a
-- session loaded again is checked to name that preset as the one last loaded.
local function applySettings (proc, check)
	local plugin = proc:to_insert ():plugin (0)
	if lv2ByPreset then
		if check then
			local last = plugin:last_preset ()
			if not last or last.label ~= "brakkle-check" then
				fail ("the loaded session's Brakkle does not name the preset with its settings as its last one")
			end
			return
		end
		local preset = plugin:preset_by_label ("brakkle-check")
		if not preset then fail ("Ardour does not list the preset with Brakkle's settings") end
		if not plugin:load_preset (preset) then fail ("Ardour could not load the preset with Brakkle's settings") end
		print ("  Grid Lock: " .. (opt.gridlock ~= "" and opt.gridlock or "off, the default") .. " (LV2: set with the preset)")
		return
	end

	-- A session loaded again restores an LV2 plug-in's own state, not Ardour's
	-- controls for it: they read 0 again until Ardour sets them.
	if lv2 and check then return end

	local controls = controlsOf (proc)
	local function set (s)
		local c = controls[s.id]
		if not c then fail ("Brakkle has no control for \"" .. s.name .. "\" in Ardour") end
		local value = c.value (s)
		if not check then c.control:set_value (value, PBD.GroupControlDisposition.NoGroup) end
		local now = c.control:get_value ()
		if math.abs (now - value) > 1e-6 * math.max (1, math.abs (value)) then
			fail (s.name .. " reads back " .. now .. " after setting " .. value)
		end
	end

	for _, s in ipairs (settings) do
		if s.id == "gridLock" and not controls.gridLock then
			if s.value > 0.5 then fail ("this bundle has no Grid Lock parameter") end
		else
			set (s)
		end
	end

	-- Ardour hands an LV2 plug-in a control's new value as a message in the
	-- next block it runs (it runs them while stopped too); a session saved
	-- before that keeps the plug-in's state as it was. Half a second of the
	-- dummy engine is hundreds of blocks.
	if lv2 and not check then ARDOUR.LuaAPI.usleep (500000) end

	if not check then
		print ("  Grid Lock: " .. (not controls.gridLock and "not in this bundle"
		                           or controls.gridLock.control:get_value () > 0.5 and "on" or "off")
		       .. (lv2 and " (LV2: set through Ardour's controls)" or ""))
	end
end

-- Writes the lanes into the plug-in's automation, each parameter's lane in
-- steps (no ramp between points): its setting (or default) from the session's
-- start, then each lane's value from its sample; the lanes play.
local function applyLanes (proc)
	if #lanes == 0 then return end
	if lv2ByPreset then fail ("lanes go through Ardour's controls, not the preset (lv2=preset)") end
	local controls = controlsOf (proc)
	local byId, order = {}, {}
	for _, lane in ipairs (lanes) do
		if not controls[lane.id] then fail ("Brakkle has no control for \"" .. lane.name .. "\" in Ardour") end
		if not byId[lane.id] then byId[lane.id] = {}; order[#order + 1] = lane.id end
		table.insert (byId[lane.id], lane)
	end
	for _, id in ipairs (order) do
		local c = controls[id]
		local first = { value = parameters[id].default, normalised = (parameters[id].default - parameters[id].low) / (parameters[id].high - parameters[id].low) }
		for _, s in ipairs (settings) do if s.id == id then first = s end end
		local list = c.control:alist ()
		list:clear_list ()
		list:set_interpolation (Evoral.InterpolationStyle.Discrete)
		list:add (Temporal.timepos_t (0), c.value (first), false, false)
		for _, lane in ipairs (byId[id]) do
			list:add (Temporal.timepos_t (lane.at), c.value (lane), false, false)
			print (string.format ("  lane: %s %s from sample %d (beat %g)", parameters[id].name, tostring (lane.value), lane.at, lane.at / samplesPerBeat))
		end
		c.control:set_automation_state (ARDOUR.AutoState.Play)
	end
end

S.start_engine (rate, number ("block"))
S.new_session (opt.dir, "try", rate, number ("bpm"))

local function newTrack (name) return S.new_track (name, 1) end

local track = newTrack ("Brakkle")

S.add_luaproc (track, "Brakkle Check Level", 0)
local brakkle = S.add_plugin (track, "Brakkle", lv2 and "LV2" or "VST3", 1)
applySettings (brakkle)
applyLanes (brakkle)

local wait = S.wait

if via == "cli" then
	-- ardour7-export exports the session range, which Lua cannot set in a
	-- session without regions: it is written into the saved session instead.
	S.save_with_locations (opt.dir, "try", rate, { { name = "session", start = start, finish = start + length, flags = "IsSessionRange" } })
	print ("try-in-ardour: case done")
	os.exit (0)
end

if via == "loop" then
	-- Neither export loops: the tap behind Brakkle keeps what a looped roll
	-- makes, with the transport position of every block. The loop range is
	-- stored in musical time, as the editor's loop range on bar lines is; the
	-- session is loaded again to take it.
	S.add_luaproc (track, "Brakkle Check Tap", 2)
	local from, to, passes = number ("loopfrom"), number ("loopto"), number ("passes")
	S.save_with_locations (opt.dir, "try", rate, { { name = "Loop", start = from, finish = to, flags = "IsAutoLoop,IsHidden", beats = true } })
	if not load_session (opt.dir, "try") or not Session then fail ("cannot load the session again") end

	local loop = Session:locations ():auto_loop_location ()
	if not loop then fail ("the session has no loop range after loading") end
	local loopFrom, loopTo = loop:start ():samples (), loop:_end ():samples ()

	track = nil
	for t in Session:get_tracks ():iter () do
		if t:name () == "Brakkle" then track = t end
	end
	if not track then fail ("the loaded session has no track Brakkle") end
	brakkle = track:to_route ():nth_plugin (1)
	local tap = track:to_route ():nth_plugin (2)
	if brakkle:isnil () or tap:isnil () or tap:display_name () ~= "Brakkle Check Tap" then
		fail ("the loaded session lacks Brakkle or the tap behind it")
	end
	applySettings (brakkle, true)
	print (string.format ("  loop: beats %g to %g = samples %d to %d, played for %d passes", from, to, loopFrom, loopTo, passes))

	local wraps = S.play_loop (loopFrom, loopTo, passes, rate)
	if wraps < passes then fail ("the loop wrapped " .. wraps .. " times, not " .. passes) end

	-- The tap's shared memory (see tap.lua for its layout).
	local maxBlocks = 65536
	local shm = tap:to_insert ():plugin (0):to_luaproc ():shmem ()
	local head = shm:to_int (0):array ()
	if head[3] ~= 0 then fail ("the tap ran out of room") end
	local blockCount, sampleCount = head[1], head[2]
	local b = shm:to_int (3):array ()
	local y = shm:to_float (3 + 3 * maxBlocks):array ()

	local x, where, passList = {}, {}, {}
	local prevEnd
	for k = 0, blockCount - 1 do
		local pos, count, first = b[3 * k + 1], b[3 * k + 2], b[3 * k + 3]
		if pos ~= prevEnd then
			if #passList > 0 then passList[#passList].last = first end
			passList[#passList + 1] = { first = first + 1 }
		end
		for i = 1, count do
			x[first + i] = y[first + i]
			where[first + i] = pos + i - 1
		end
		prevEnd = pos + count
	end
	if #x ~= sampleCount or #passList < 2 then fail ("the tap kept " .. #x .. " samples in " .. #passList .. " stretches") end
	if where[1] ~= loopFrom then fail ("the roll began at " .. where[1] .. ", not on the loop start " .. loopFrom) end
	print (string.format ("  captured %d samples in %d blocks; the last %d samples, after the stop was asked for, are left out",
	                      #x, blockCount, #x - passList[#passList].first + 1))
	table.remove (passList)

	-- For a look with --keep: the output, and the blocks the tap saw.
	S.write_wav (opt.out .. "/loop.wav", rate, x)
	local f = io.open (opt.out .. "/loop-blocks.txt", "w")
	if not f then fail ("cannot write " .. opt.out .. "/loop-blocks.txt") end
	for k = 0, blockCount - 1 do f:write (string.format ("block %d position %d length %d file sample %d\n", k, b[3 * k + 1], b[3 * k + 2], b[3 * k + 3])) end
	f:close ()

	analyseLoop (x, where, passList, samplesPerBeat, loopFrom)
elseif via == "export" then
	local x, n = readWav (S.export (opt.preset, opt.out, start, length))
	analyse (x, n, start, samplesPerBeat)
else
	-- record: Brakkle's track feeds a second track, armed; locate, roll, stop.
	local capture = newTrack ("Capture")
	capture:input ():disconnect_all (nil)
	if capture:input ():connect (capture:input ():audio (0), track:output ():audio (0):name (), nil) ~= 0 then
		fail ("cannot connect Brakkle's track to the capture track")
	end
	capture:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
	Session:maybe_enable_record (false)
	wait (function () return Session:record_status () == ARDOUR.Session.RecordState.Enabled end, 20, "arming the session for recording")

	Session:request_locate (start, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return Session:transport_sample () == start end, 20, "locating to " .. start)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return Session:transport_sample () >= start + length end, 20 + length / rate, "rolling")
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return not Session:transport_rolling () end, 20, "stopping")
	Session:disable_record (false, false)

	-- The take becomes a region once the recording is written out.
	local region, count
	local function take ()
		region, count = nil, 0
		for r in capture:playlist ():region_list ():iter () do region, count = r, count + 1 end
		return count > 0
	end
	wait (take, 20, "waiting for the recorded take")
	if count ~= 1 then fail ("the capture track has " .. count .. " regions, not one") end
	local readable = region:to_audioregion ():to_readable ()
	local total = readable:readable_length ()
	local memory = ARDOUR.DSP.DspShm (8192)
	local x, n = {}, 0
	while n < total do
		local got = readable:read (memory:to_float (0), n, 8192, 0)
		if got <= 0 then break end
		local d = memory:to_float (0):array ()
		for i = 1, got do x[n + i] = d[i] end
		n = n + got
	end
	analyse (x, n, region:position ():samples (), samplesPerBeat)
end

-- Ardour now and then crashes while closing a session; the case is complete by then.
print ("try-in-ardour: case done")
close_session ()
